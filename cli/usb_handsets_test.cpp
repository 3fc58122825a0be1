// The console's USB side against emulated USB devices: morvak-cli list with
// its table and access states, and flash choosing handsets by port (--port,
// --all-ports, Port= of the configuration), with the virtual handset behind
// each emulated device.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include "CapturedStream.h"
#include "Flash.h"
#include "HandsetUsbFunction.h"
#include "ImageBlocks.h"
#include "ImageWriter.h"
#include "ListCommand.h"
#include "RunTestSupport.h"
#include "UsbDeviceMatch.h"
#include "WithoutFileOverride.h"
#include "usb_test_support.h"

namespace morvak::usbtest {
namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

EmulatedDeviceParams At(uint8_t port, uint16_t vendor = 0x1234, uint16_t product = 0x5678) {
  EmulatedDeviceParams params;
  params.vendorId = vendor;
  params.productId = product;
  params.address = port;
  params.port = port;
  return params;
}

using clitest::Captured;

// The table row of the device on `port` (the line that begins with it).
std::string RowOf(const std::string& table, const std::string& port) {
  for (size_t at = 0; at < table.size();) {
    const size_t end = table.find('\n', at);
    const std::string line = table.substr(at, end - at);
    if (line.rfind(port + " ", 0) == 0) return line;
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return {};
}

using ListTest = EmulatedUsbTest;

TEST_F(ListTest, ShowsTheMatchingDevicesAndWhetherTheyCanBeOpened) {
  EmulatedDeviceParams broken = At(5);
  broken.bulkOut = false;
  EmulatedDeviceParams slow = At(3, 0x1111, 0x2222);
  slow.speedMbps = 12;
  ASSERT_TRUE(Plug(At(2)) && Plug(slow) && Plug(broken));
  ConfigureIds(0x1234, 0x5678);

  Captured out;
  EXPECT_EQ(cli::RunList({}, m_config, out.File()), 0);
  const std::string text = out.Text();
  std::printf("%s", text.c_str());  // the table as an operator sees it
  EXPECT_TRUE(Contains(text, "Handsets are USB devices 1234:5678 (from " + m_config + ")")) << text;
  EXPECT_TRUE(Contains(text, "PORT  BUS  DEVICE  ID         SPEED              ACCESS\n")) << text;
  EXPECT_EQ(RowOf(text, "1-2"), "1-2   1    2       1234:5678  high (480 Mbit/s)  can be opened") << text;
  EXPECT_EQ(RowOf(text, "1-5"),
            "1-5   1    5       1234:5678  high (480 Mbit/s)  cannot be opened: no bulk OUT endpoint 0x02 on interface 0")
      << text;
  EXPECT_EQ(RowOf(text, "1-3"), "") << "not a handset: only with --all\n" << text;
  EXPECT_TRUE(Contains(text, "2 matching devices, 1 usable.\n")) << text;

  Captured all;
  EXPECT_EQ(cli::RunList({true}, m_config, all.File()), 0);
  const std::string every = all.Text();
  EXPECT_TRUE(Contains(RowOf(every, "1-3"), "1111:2222  full (12 Mbit/s)   no       can be opened")) << every;
  EXPECT_TRUE(Contains(RowOf(every, "1-2"), "yes      can be opened")) << every;
}

TEST_F(ListTest, NamesTheUdevRuleWhenAccessIsDenied) {
  EmulatedUsbDevice* device = Plug(At(2));
  ASSERT_NE(device, nullptr);
  ConfigureIds(0x1234, 0x5678);
  ASSERT_EQ(chmod(m_bed->NodeFile(*device).c_str(), 0), 0);
  Captured out;
  {
    WithoutFileOverride asUser;
    if (!asUser.Effective()) GTEST_SKIP() << "cannot drop the file-access override of root here";
    EXPECT_EQ(cli::RunList({}, m_config, out.File()), 1);
  }
  const std::string text = out.Text();
  EXPECT_TRUE(Contains(RowOf(text, "1-2"), "cannot be opened: no permission (a udev rule with TAG+=\"uaccess\" is needed)"))
      << text;
  EXPECT_TRUE(Contains(text, "1 matching device, 0 usable.\n")) << text;
  EXPECT_TRUE(Contains(text, "sudo morvak-cli udev-rule --install")) << text;
  EXPECT_EQ(device->Claims(), 0);
}

struct ListStatusCase {
  const char* name;
  const char* config;
  int status;
  const char* says;
};

class ListStatusTest : public EmulatedUsbTest, public ::testing::WithParamInterface<ListStatusCase> {};

// Scripts wait on the exit status: 0 only while a usable handset is there.
TEST_P(ListStatusTest, ExitStatusSaysWhetherAUsableHandsetIsThere) {
  EmulatedDeviceParams broken = At(5);
  broken.bulkIn = false;
  ASSERT_TRUE(Plug(At(2)) && Plug(broken));
  Configure(GetParam().config);
  Captured out;
  EXPECT_EQ(cli::RunList({}, m_config, out.File()), GetParam().status);
  EXPECT_TRUE(Contains(out.Text(), GetParam().says)) << out.Text();
}

INSTANTIATE_TEST_SUITE_P(
    Configs, ListStatusTest,
    ::testing::Values(
        ListStatusCase{"AnyPort", "[LURRA_USB]\nVendorId=0x1234\nProductId=0x5678\n", 0, "2 matching devices, 1 usable."},
        ListStatusCase{"PortOfTheHandset", "[LURRA_USB]\nVendorId=0x1234\nProductId=0x5678\nPort=1-2\n", 0,
                       "1234:5678 on port 1-2"},
        ListStatusCase{"PortOfTheBrokenOne", "[LURRA_USB]\nVendorId=0x1234\nProductId=0x5678\nPort=1-5\n", 1,
                       "1 matching device, 0 usable."},
        ListStatusCase{"PortWithNothing", "[LURRA_USB]\nVendorId=0x1234\nProductId=0x5678\nPort=1-9\n", 1,
                       "0 matching devices, 0 usable."},
        ListStatusCase{"PortNoPath", "[LURRA_USB]\nVendorId=0x1234\nProductId=0x5678\nPort=usb2\n", 1,
                       "\"usb2\" (Port= in section [LURRA_USB] of"},
        ListStatusCase{"OtherIds", "[LURRA_USB]\nVendorId=0x1234\nProductId=0x9999\n", 1, "0 matching devices"},
        ListStatusCase{"NoIds", "", 1, "No handset USB ids configured"}),
    [](const ::testing::TestParamInfo<ListStatusCase>& p) { return std::string(p.param.name); });

// Flashing over emulated USB: a program directory whose configuration names
// the ids (and small sizes, so that the image is small), and handsets plugged
// in at the ports the test names.
class UsbFlashTest : public EmulatedUsbTest {
 protected:
  void SetUp() override {
    EmulatedUsbTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    program.Config(std::string(testing::kSmallNandSizes) + "[LURRA_USB]\nVendorId=0x1234\nProductId=0x5678\n");
    RecordDesc r;
    r.address = 0x100000;
    r.length = 70000;  // more than one transfer
    desc.rawSize = 4096;
    desc.records = {r};
    LayoutDesc layout;
    layout.blockCounts = {2, 3};
    desc.layout = layout;
    image = program.Path("image.img");
    std::string problem;
    ASSERT_EQ(WriteImage(image, desc, nullptr, problem), IMAGE_WRITE_OK) << problem;
  }
  uint32_t m_plugged = 0;
  EmulatedUsbDevice* PlugHandset(uint8_t port, const char* faults = "") {
    FaultPlan plan;
    std::string error;
    EXPECT_TRUE(ParseFaultPlan(faults, plan, error)) << error;
    // Every handset plugged in is a unit of its own, with its own ASIC ID.
    EmulatedUsbDevice* device =
        m_bed->Plug(At(port), std::make_unique<HandsetUsbFunction>(plan, BenchUnit{port, ++m_plugged}));
    EXPECT_NE(device, nullptr) << m_bed->LastError();
    return device;
  }
  static std::vector<BlockRecord> BlocksOf(EmulatedUsbDevice* device) {
    return device->WithFunction(
        [](IUsbFunction& f) { return static_cast<HandsetUsbFunction&>(f).handset.Blocks(); });
  }
  // The blocks of a whole run: the programmer, then what the image writer predicts.
  std::vector<BlockRecord> ExpectedBlocks() const {
    std::vector<ImageBlock> blocks;
    EXPECT_EQ(ExpectedImageBlocks(desc, blocks), PLAN_OK);
    std::vector<BlockRecord> records;
    for (const ImageBlock& b : blocks) records.push_back({b.kind, b.address, b.length, b.crc});
    return records;
  }
  int Flash(cli::FlashOptions options, std::string& output) {
    options.image = image;
    Captured out;
    cli::FlashEnvironment environment;
    environment.moduleDirectory = program.Directory();
    const int status = cli::RunFlash(options, out.File(), out.File(), environment);
    output = out.Text();
    return status;
  }

  morvak::testing::ProgramDirectory program{"usb-flash"};
  ImageDesc desc;
  std::string image;
};

void ExpectWholeImage(const std::vector<BlockRecord>& got, const std::vector<BlockRecord>& expected) {
  ASSERT_EQ(got.size(), expected.size() + 1);
  EXPECT_EQ(got.front().address, PROGRAMMER_LOAD_ADDRESS);
  EXPECT_EQ(std::vector<BlockRecord>(got.begin() + 1, got.end()), expected);
}

TEST_F(UsbFlashTest, EachPortGivenIsFlashedAtOnceAndNoOtherHandset) {
  EmulatedUsbDevice* first = PlugHandset(2);
  EmulatedUsbDevice* notNamed = PlugHandset(3);
  EmulatedUsbDevice* second = PlugHandset(4);
  ASSERT_TRUE(first && notNamed && second);
  cli::FlashOptions options;
  options.ports = {"1-4", "1-2"};
  std::string output;
  ASSERT_EQ(Flash(options, output), 0) << output;
  EXPECT_TRUE(Contains(output, "[1-4] Download the img successfully!")) << output;
  EXPECT_TRUE(Contains(output, "[1-2] Download the img successfully!")) << output;
  EXPECT_TRUE(Contains(output, "2 handsets: 2 succeeded, 0 failed")) << output;
  ExpectWholeImage(BlocksOf(first), ExpectedBlocks());
  ExpectWholeImage(BlocksOf(second), ExpectedBlocks());
  EXPECT_EQ(notNamed->Claims(), 0);
  EXPECT_TRUE(notNamed->Urbs().empty());
}

TEST_F(UsbFlashTest, AllPortsFlashesEveryUsableHandsetAndReportsTheOthers) {
  EmulatedDeviceParams broken = At(5);
  broken.bulkOut = false;
  EmulatedUsbDevice* a = PlugHandset(2);
  EmulatedUsbDevice* b = PlugHandset(3, "ram-refuse");
  EmulatedUsbDevice* other = Plug(At(4, 0x1111, 0x2222));
  ASSERT_TRUE(a && b && other && Plug(broken));
  cli::FlashOptions options;
  options.allPorts = true;
  options.record = program.Path("records.jsonl");
  std::string output;
  EXPECT_EQ(Flash(options, output), 1) << output;
  ExpectWholeImage(BlocksOf(a), ExpectedBlocks());
  EXPECT_TRUE(Contains(output, "[1-3] Init the DDR failed")) << output;
  EXPECT_TRUE(Contains(output, "[1-5] cannot be opened: no bulk OUT endpoint 0x02 on interface 0")) << output;
  EXPECT_TRUE(Contains(output, "3 handsets: 1 succeeded, 2 failed")) << output;
  EXPECT_EQ(other->Claims(), 0);
  // Runs that ran are recorded, with their ports; the one never opened is not.
  const std::string records = ReadAll(program.Path("records.jsonl"));
  EXPECT_TRUE(Contains(records, "\"port\":\"1-2\"")) << records;
  EXPECT_TRUE(Contains(records, "\"port\":\"1-3\"")) << records;
  EXPECT_FALSE(Contains(records, "\"port\":\"1-5\"")) << records;
}

TEST_F(UsbFlashTest, PortOfTheConfigurationPicksTheHandsetAndTheRecordNamesIt) {
  EmulatedUsbDevice* first = PlugHandset(2);
  EmulatedUsbDevice* chosen = PlugHandset(4);
  ASSERT_TRUE(first && chosen);
  program.Config(std::string(testing::kSmallNandSizes) + "[LURRA_USB]\nVendorId=0x1234\nProductId=0x5678\nPort=1-4\n");
  cli::FlashOptions options;
  options.json = true;
  options.record = program.Path("records.jsonl");
  std::string output;
  ASSERT_EQ(Flash(options, output), 0) << output;
  EXPECT_EQ(first->Claims(), 0);
  ExpectWholeImage(BlocksOf(chosen), ExpectedBlocks());
  // The first matching handset's port is known once it is open: the result names it.
  EXPECT_TRUE(Contains(output, "\"port\":null,\"event\":\"status\",\"text\":\"Waiting for USB device to connect......\""))
      << output;
  EXPECT_TRUE(Contains(output, "\"port\":\"1-4\",\"event\":\"result\",\"result\":\"succeeded\"")) << output;
  EXPECT_TRUE(Contains(ReadAll(program.Path("records.jsonl")), "\"port\":\"1-4\",\"asic_id\":\""));
}

// A station over USB: the ports it watches, each handset there flashed once
// (they stay plugged in: --units ends the session).
struct StationCase {
  const char* name;
  std::vector<std::string> ports;  // --port; none: every port
  uint64_t units;
  std::vector<uint8_t> flashed;  // of the handsets on ports 1-2 and 1-3
};

class UsbStationTest : public UsbFlashTest, public ::testing::WithParamInterface<StationCase> {};

TEST_P(UsbStationTest, FlashesEachHandsetOnTheWatchedPortsOnce) {
  const StationCase& c = GetParam();
  EmulatedUsbDevice* handsets[] = {PlugHandset(2), PlugHandset(3)};
  ASSERT_TRUE(handsets[0] && handsets[1]);
  cli::FlashOptions options;
  options.watch = true;
  options.units = c.units;
  options.ports = c.ports;
  std::string output;
  ASSERT_EQ(Flash(options, output), 0) << output;
  for (uint8_t port = 2; port <= 3; ++port) {
    EmulatedUsbDevice* handset = handsets[port - 2];
    const std::string prefix = "[1-" + std::to_string(port) + "] passed: ASIC ID ";
    if (std::find(c.flashed.begin(), c.flashed.end(), port) != c.flashed.end()) {
      ExpectWholeImage(BlocksOf(handset), ExpectedBlocks());
      EXPECT_TRUE(Contains(output, prefix)) << output;
    } else {
      EXPECT_EQ(handset->Claims(), 0) << port;
      EXPECT_FALSE(Contains(output, prefix)) << output;
    }
  }
  EXPECT_TRUE(Contains(output, "tally: " + std::to_string(c.units) + " passed, 0 failed")) << output;
}

INSTANTIATE_TEST_SUITE_P(Ports, UsbStationTest,
                         ::testing::Values(StationCase{"EveryPort", {}, 2, {2, 3}},
                                           StationCase{"GivenPort", {"1-3"}, 1, {3}}),
                         [](const ::testing::TestParamInfo<StationCase>& p) { return std::string(p.param.name); });

// Bytes the host wrote to the device over all its runs; a station's look at a
// port writes none.
size_t BytesWritten(const EmulatedUsbDevice* device) {
  size_t bytes = 0;
  for (const UrbRecord& urb : device->Urbs())
    if (urb.endpoint == 0x02) bytes += static_cast<size_t>(urb.actual);
  return bytes;
}

// Waits, until `deadline`, for the device's run to be over (written to and
// let go) and then for the station to have looked at it once more: a look
// claims it again, as a run would.
bool RunOverAndLookedAtAgain(const EmulatedUsbDevice* device, Clock::time_point deadline) {
  for (int after = -1; Clock::now() < deadline; std::this_thread::sleep_for(std::chrono::milliseconds(2))) {
    const int claims = device->Claims();
    if (after >= 0 && claims > after) return true;
    if (after < 0 && BytesWritten(device) > 0 && claims == device->Releases()) after = claims;
  }
  return false;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// Handsets come and go while a station watches every port: the one swapped in
// for a flashed one and the one on a port that had none are flashed, each
// once, and a handset left plugged in after its run is not flashed again.
TEST_F(UsbFlashTest, StationFlashesHandsetsPluggedInDuringTheSessionOnceEach) {
  EmulatedUsbDevice* first = PlugHandset(2);
  ASSERT_NE(first, nullptr);
  cli::FlashOptions options;
  options.watch = true;
  options.units = 3;
  std::string output;
  // The testbed is driven from this thread alone; the session runs beside it.
  std::future<int> session = std::async(std::launch::async, [&] { return Flash(options, output); });
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(20);
  EXPECT_TRUE(RunOverAndLookedAtAgain(first, deadline)) << "the first handset";
  m_bed->Unplug(*first);
  EmulatedUsbDevice* newPort = PlugHandset(4);
  // Port 1-2 has been empty through rounds of looks since: what comes there now is a new handset.
  EXPECT_TRUE(newPort && RunOverAndLookedAtAgain(newPort, deadline)) << "the handset on a new port";
  EmulatedDeviceParams again = At(2);
  again.address = 12;  // a replugged device gets a new number
  EmulatedUsbDevice* swapped = m_bed->Plug(again, std::make_unique<HandsetUsbFunction>(FaultPlan{}, BenchUnit{2, 99}));
  EXPECT_NE(swapped, nullptr) << m_bed->LastError();
  if (session.wait_until(deadline) != std::future_status::ready) {
    // Ctrl-C twice: no new run, and the runs going on end (the stops count
    // for the rest of the process: later sessions here stop at once).
    ADD_FAILURE() << "the session did not end by itself";
    std::raise(SIGINT);
    std::raise(SIGINT);
  }
  EXPECT_EQ(session.get(), 0) << output;
  ASSERT_TRUE(newPort && swapped);
  // A look claims a handset, which the virtual one takes for a power-on that
  // restarts its block record; no look follows the last run, so only the last
  // handset keeps its blocks. The others must have been sent as many bytes.
  ExpectWholeImage(BlocksOf(swapped), ExpectedBlocks());
  EXPECT_EQ(BytesWritten(first), BytesWritten(swapped));
  EXPECT_EQ(BytesWritten(newPort), BytesWritten(swapped));
  EXPECT_EQ(Count(output, "[1-2] passed: ASIC ID "), 2u) << output;
  EXPECT_EQ(Count(output, "[1-4] passed: ASIC ID "), 1u) << output;
  EXPECT_TRUE(Contains(output, "tally: 3 passed, 0 failed")) << output;
}

TEST_F(UsbFlashTest, APortThatIsNoPortPathIsSaidNotWaitedOn) {
  EmulatedUsbDevice* device = PlugHandset(2);
  ASSERT_NE(device, nullptr);
  program.Config(std::string(testing::kSmallNandSizes) + "[LURRA_USB]\nVendorId=0x1234\nProductId=0x5678\nPort=1-02\n");
  LibusbTransport transport(program.Path("file/LURRA.ini"));
  EXPECT_EQ(transport.Open(), OPEN_NOT_CONFIGURED);
  EXPECT_TRUE(Contains(transport.OpenProblem(), "\"1-02\" (Port= in section [LURRA_USB] of ")) << transport.OpenProblem();
  LibusbTransport asked(program.Path("file/LURRA.ini"), "2.1");
  EXPECT_EQ(asked.Open(), OPEN_NOT_CONFIGURED);
  EXPECT_TRUE(Contains(asked.OpenProblem(), "\"2.1\" (the port asked for)")) << asked.OpenProblem();
  // The port asked for takes the place of the configuration's.
  LibusbTransport right(program.Path("file/LURRA.ini"), "1-2");
  EXPECT_EQ(right.Open(), OPEN_CONNECTED) << right.OpenProblem();
  EXPECT_EQ(right.OpenedPortPath(), "1-2");
  right.Close();
  EXPECT_EQ(right.OpenedPortPath(), "1-2");
  EXPECT_EQ(device->Claims(), 1);
}

// A configuration that names no handset, or names it wrongly, is refused at
// once with its line: no device is claimed and nothing waits.
TEST_F(UsbFlashTest, IdsThatAreMissingOrMalformedRefuseTheRunAtOnce) {
  EmulatedUsbDevice* device = PlugHandset(2);
  ASSERT_NE(device, nullptr);
  const struct {
    const char* usb;
    const char* line;
  } cases[] = {
      {"", "No handset USB ids configured"},
      {"[LURRA_USB]\nVendorId=0x1234zz\nProductId=0x5678\n", "VendorId=0x1234zz in section [LURRA_USB] of "},
      {"[LURRA_USB]\nVendorId=0x1234\n", "ProductId"},
  };
  for (const auto& c : cases) {
    program.Config(std::string(testing::kSmallNandSizes) + c.usb);
    std::string output;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Flash({}, output), 78) << output;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    EXPECT_TRUE(Contains(output, c.line)) << output;
    EXPECT_FALSE(Contains(output, "Read the input file:")) << output;
  }
  EXPECT_EQ(device->Claims(), 0);
}

}  // namespace
}  // namespace morvak::usbtest
