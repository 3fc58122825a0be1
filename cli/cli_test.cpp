// The console front end as scripts see it: the built morvak-cli run as a
// process, its exit status and its lines, and the blocks the virtual handset
// received against the list the image writer made for the same image.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "cli_test_support.h"

namespace {

using namespace morvak::clitest;

struct CliCase {
  const char* name;
  // The arguments; IMG, RAW, NODOT, EMPTYRAW, UPPERRAW and MISSING stand for
  // the files the test makes.
  std::vector<std::string> args;
  int status;
  const char* lastLine;  // the output's last line must start with this ("" for any)
  const char* contains;  // and the output must hold this somewhere ("" for any)
};

class CliRunTest : public ::testing::TestWithParam<CliCase> {};

TEST_P(CliRunTest, ExitStatusAndLines) {
  const CliCase& c = GetParam();
  Scratch scratch;
  std::string args;
  for (const std::string& a : c.args) {
    std::string arg = a;
    if (a == "IMG") arg = MORVAK_DEMO_IMG;
    if (a == "RAW") arg = MORVAK_DEMO_RAW;
    if (a == "NODOT") arg = scratch.CopyOf(MORVAK_DEMO_IMG, "image_without_extension");
    if (a == "UPPERRAW") arg = scratch.CopyOf(MORVAK_DEMO_RAW, "demo.RAW");
    if (a == "EMPTYRAW") arg = scratch.Empty("empty.raw");
    if (a == "MISSING") arg = scratch.Path("not-there.img");
    if (a == "FIFO") {
      arg = scratch.Path("pipe.img");
      EXPECT_EQ(mkfifo(arg.c_str(), 0600), 0);
    }
    if (a == "FORGED")
      arg = scratch.CopyOf(MORVAK_DEMO_IMG, "forged\nDownload the img successfully!00 Minutes, 00 Seconds\n.img");
    args += Quote(arg) + " ";
  }
  const Outcome o = RunCli(args);
  EXPECT_EQ(o.status, c.status) << o.output;
  EXPECT_EQ(LastLine(o.output).rfind(c.lastLine, 0), 0u) << o.output;
  EXPECT_NE(o.output.find(c.contains), std::string::npos) << o.output;
  if (c.status != 0) {
    EXPECT_EQ(o.output.find("\nDownload the img successfully!"), std::string::npos) << o.output;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cli, CliRunTest,
    ::testing::Values(
        CliCase{"img_succeeds", {"flash", "--virtual-handset", "IMG"}, 0, "Download the img successfully!", "Configuring SDRAM"},
        CliCase{"raw_succeeds", {"flash", "--virtual-handset", "RAW"}, 0, "Download the RAW successfully!", ""},
        // OneNAND's sizes put the header elsewhere than the NAND demo image has it.
        CliCase{"onenand_looks_elsewhere", {"flash", "--onenand", "--virtual-handset", "IMG"}, 1, "error file format", ""},
        CliCase{"onenand_raw_succeeds", {"flash", "--onenand", "--virtual-handset", "RAW"}, 0, "Download the RAW successfully!",
                "OneNANDOUT.nb0"},
        CliCase{"retried_crc_succeeds", {"flash", "--virtual-handset=crc-bad=3", "IMG"}, 0, "Download the img successfully!", ""},
        CliCase{"name_without_dot", {"flash", "--virtual-handset", "NODOT"}, 1, "It is an invalide download file.", ""},
        // The extension rule is case-sensitive: "RAW" is an .img to Start, and
        // a raw file holds no image header.
        CliCase{"upper_case_raw_is_an_img", {"flash", "--virtual-handset", "UPPERRAW"}, 1, "", ""},
        CliCase{"empty_raw", {"flash", "--virtual-handset", "EMPTYRAW"}, 1, "file is empty:", "Read the input file:"},
        CliCase{"missing_image", {"flash", "--virtual-handset", "MISSING"}, 1, "open file failed:", ""},
        CliCase{"ram_type_refused", {"flash", "--virtual-handset=ram-refuse", "IMG"}, 1, "Init the DDR failed", ""},
        CliCase{"programmer_error", {"flash", "--virtual-handset=error=5@1", "IMG"}, 1, "It is an invalide return value", ""},
        CliCase{"config_refused", {"flash", "--virtual-handset=config-refuse=b", "IMG"}, 1,
                "Download the configration info failed!", ""},
        CliCase{"handset_goes_away", {"flash", "--virtual-handset=disconnect=100000", "IMG"}, 1, "", ""},
        // A hung handset ends the run by itself: the time-out's line, then the
        // lines of the step whose read it ended.
        CliCase{"reply_timeout_ends_a_hung_ack", {"flash", "--virtual-handset=hang=ack", "--reply-timeout", "0.3", "IMG"},
                1, "Download the file to device failed:", "No answer from the handset for 0.3 seconds"},
        CliCase{"reply_timeout_ends_a_hung_asic_id", {"flash", "--virtual-handset=hang=asic", "--reply-timeout=0.3", "IMG"},
                1, "Download file to device failed:", "seconds: it may have hung or lost power (ReplyTimeout in "
                "[LURRA_PARAMS])\nError, Failed to read ASIC ID\n"},
        CliCase{"wait_timeout_ends_the_wait", {"flash", "--virtual-handset=appear=86400000", "--wait-timeout", "0.2", "IMG"},
                1, "Download file to device failed:", "No handset appeared within 0.2 seconds\n"},
        // A FIFO would hold the program until a writer came: refused at once.
        CliCase{"fifo_image", {"flash", "--virtual-handset", "FIFO"}, 1, "Not a regular file", "pipe.img"},
        // A file name cannot make a line of its own.
        CliCase{"line_feed_in_a_name", {"flash", "--virtual-handset=ram-refuse", "FORGED"}, 1, "Init the DDR failed",
                "forged\\nDownload the img successfully!00 Minutes, 00 Seconds\\n.img"},
        CliCase{"bad_fault_text", {"flash", "--virtual-handset=no-such-fault", "IMG"}, 2, "", ""},
        CliCase{"no_arguments", {}, 2, "", "usage: morvak-cli"},
        CliCase{"flash_without_image", {"flash", "--virtual-handset"}, 2, "", ""},
        CliCase{"unknown_command", {"frobnicate"}, 2, "", "unknown command"},
        CliCase{"unknown_option", {"flash", "--fast", "IMG"}, 2, "", ""},
        CliCase{"record_without_virtual_handset", {"flash", "--record-blocks", "x", "IMG"}, 2, "", ""},
        CliCase{"help", {"--help"}, 0, "", "inspect-coff FILE"},
        CliCase{"help_names_several_handsets", {"--help"}, 0, "example: --virtual-handset=count=4", "K:FAULT"},
        CliCase{"json_single", {"flash", "--json", "--virtual-handset", "IMG"}, 0, "{\"time\":\"",
                "\"event\":\"result\",\"result\":\"succeeded\""},
        CliCase{"port_not_a_path", {"flash", "--port", "1-x", "IMG"}, 2, "", "not a USB port path"},
        CliCase{"port_with_leading_zero", {"flash", "--port=01-2", "IMG"}, 2, "", "not a USB port path"},
        CliCase{"port_twice", {"flash", "--port", "1-2", "--port", "1-2", "IMG"}, 2, "", "given twice"},
        // Every option that takes one value is given once; flags may repeat.
        CliCase{"record_twice", {"flash", "--virtual-handset", "--record", "a", "--record=b", "IMG"}, 2, "",
                "--record given twice"},
        CliCase{"record_blocks_twice", {"flash", "--virtual-handset", "--record-blocks=a", "--record-blocks", "a", "IMG"},
                2, "", "--record-blocks given twice"},
        CliCase{"reply_timeout_twice", {"flash", "--virtual-handset", "--reply-timeout", "1", "--reply-timeout", "2", "IMG"},
                2, "", "--reply-timeout given twice"},
        CliCase{"wait_timeout_twice", {"flash", "--virtual-handset", "--wait-timeout=1", "--wait-timeout=1", "IMG"}, 2, "",
                "--wait-timeout given twice"},
        CliCase{"units_twice", {"flash", "--watch", "--virtual-handset", "--units", "1", "--units", "2", "IMG"}, 2, "",
                "--units given twice"},
        CliCase{"faults_twice", {"flash", "--virtual-handset=ram-refuse", "--virtual-handset=count=2", "IMG"}, 2, "",
                "--virtual-handset=FAULTS given twice"},
        CliCase{"image_twice", {"flash", "--virtual-handset", "IMG", "IMG"}, 2, "", "exactly one IMAGE"},
        CliCase{"since_twice", {"records", "--since", "2026-01-01", "--since=2026-01-02", "x"}, 2, "",
                "--since given twice"},
        CliCase{"output_twice", {"udev-rule", "-o", "a", "--output", "b"}, 2, "", "--output given twice"},
        CliCase{"vendor_twice", {"udev-rule", "--vendor", "1", "--vendor", "2", "--product", "3"}, 2, "",
                "--vendor given twice"},
        CliCase{"flags_twice",
                {"flash", "--virtual-handset", "--erase-reserved", "--json", "--erase-reserved", "--json", "IMG"}, 0,
                "{\"time\":\"", "\"result\":\"succeeded\""},
        CliCase{"reflash_without_watch", {"flash", "--virtual-handset", "--reflash", "IMG"}, 2, "", "--reflash"},
        CliCase{"reflash_with_watch", {"flash", "--watch", "--reflash", "--units", "1", "--virtual-handset", "IMG"}, 0,
                "", ""},
        CliCase{"port_with_virtual_handset", {"flash", "--virtual-handset", "--port", "1-2", "IMG"}, 2, "", ""},
        CliCase{"all_ports_with_port", {"flash", "--all-ports", "--port", "1-2", "IMG"}, 2, "", "exclude"},
        CliCase{"count_zero", {"flash", "--virtual-handset=count=0", "IMG"}, 2, "", "from 1 to 64"},
        CliCase{"fault_for_a_handset_not_there", {"flash", "--virtual-handset=count=2,3:ram-refuse", "IMG"}, 2, "",
                "handsets 1 to 2"},
        CliCase{"record_without_name", {"flash", "--virtual-handset", "--record=", "IMG"}, 2, "", ""},
        // With no ids configured (the shipped configuration) nothing is looked for.
        CliCase{"all_ports_unconfigured", {"flash", "--all-ports", "IMG"}, 78, "", "No handset USB ids configured"},
        // A real handset is never found without ids: refused at once, not waited for.
        CliCase{"usb_unconfigured", {"flash", "IMG"}, 78, "", "No handset USB ids configured"},
        CliCase{"reply_timeout_not_seconds", {"flash", "--virtual-handset", "--reply-timeout", "1m", "IMG"}, 2, "",
                "--reply-timeout 1m"},
        CliCase{"wait_timeout_zero", {"flash", "--virtual-handset", "--wait-timeout=0", "IMG"}, 2, "",
                "--wait-timeout 0"},
        CliCase{"list_unconfigured", {"list"}, 1, "No handset USB ids configured", ""},
        CliCase{"list_bad_option", {"list", "--bogus"}, 2, "", ""},
        CliCase{"udev_rule_given_ids", {"udev-rule", "--vendor", "0x1234", "--product", "5678"}, 0,
                "SUBSYSTEM==\"usb\", ATTR{idVendor}==\"1234\", ATTR{idProduct}==\"5678\", TAG+=\"uaccess\"",
                "/etc/udev/rules.d/70-morvak.rules"},
        CliCase{"udev_rule_unconfigured", {"udev-rule"}, 78, "", "No handset USB ids configured"},
        CliCase{"udev_rule_one_id", {"udev-rule", "--vendor", "1"}, 2, "", "together"},
        CliCase{"udev_rule_id_too_wide", {"udev-rule", "--vendor", "0x10000", "--product", "1"}, 2, "", "0xffff"},
        CliCase{"udev_rule_id_with_tail", {"udev-rule", "--vendor", "0x12x4", "--product", "1"}, 2, "", ""},
        CliCase{"inspect_img", {"inspect", "IMG"}, 0, "reserved size:", "record count: 5"},
        CliCase{"inspect_without_dot", {"inspect", "NODOT"}, 1, "It is an invalide download file.", ""},
        CliCase{"inspect_coff_of_a_non_coff", {"inspect-coff", "IMG"}, 1, "", "not a readable COFF file"}),
    [](const ::testing::TestParamInfo<CliCase>& p) { return std::string(p.param.name); });

// The command-line conventions, on stdout alone: --version and each command's
// --help print there with status 0; a usage error prints nothing there and
// ends with status 2 (its line goes to stderr).
struct ConventionCase {
  const char* args;
  int status;
  const char* stdoutStart;
};

class CliConventionTest : public ::testing::TestWithParam<ConventionCase> {};

TEST_P(CliConventionTest, StatusAndStdout) {
  const ConventionCase& c = GetParam();
  std::string out;
  std::FILE* pipe = ::popen((Quote(MORVAK_CLI_PATH) + " " + c.args + " 2>/dev/null </dev/null").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char buffer[4096];
  for (size_t n = 0; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  const int raw = ::pclose(pipe);
  EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, c.status) << c.args;
  EXPECT_EQ(out.rfind(c.stdoutStart, 0), 0u) << c.args << "\n" << out;
  if (c.stdoutStart[0] == '\0') {
    EXPECT_EQ(out, "") << c.args;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cli, CliConventionTest,
    ::testing::Values(ConventionCase{"--version", 0, "morvak-cli 1.0\n"},
                      ConventionCase{"flash --help", 0, "usage: morvak-cli flash [OPTIONS] IMAGE\n"},
                      // --help wins over whatever else is given, even bad usage.
                      ConventionCase{"flash --port 1-x --help", 0, "usage: morvak-cli flash"},
                      ConventionCase{"list -h", 0, "usage: morvak-cli list [--all]\n"},
                      ConventionCase{"udev-rule --help", 0, "usage: morvak-cli udev-rule"},
                      ConventionCase{"inspect --help", 0, "usage: morvak-cli inspect [--onenand] IMAGE\n"},
                      ConventionCase{"inspect-coff --help", 0, "usage: morvak-cli inspect-coff FILE [--flat OUT]\n"},
                      // After "--" it is an image's name, not a request for help.
                      ConventionCase{"flash --virtual-handset -- --help", 1, "It is an invalide download file."},
                      ConventionCase{"flash", 2, ""},
                      ConventionCase{"frobnicate --help", 2, ""},
                      ConventionCase{"udev-rule --install --output x", 2, ""},
                      ConventionCase{"udev-rule --group Wheel --vendor 1 --product 2", 2, ""},
                      ConventionCase{"", 2, ""}));

// Every block the handset received, in order, equals what the image writer
// listed for the image it wrote; the programmer comes first, at 0x10000000.
class CliRecordTest : public ::testing::TestWithParam<const char*> {};

TEST_P(CliRecordTest, RecordedBlocksEqualTheImage) {
  const std::string which = GetParam();
  const std::string image = which == "img" ? MORVAK_DEMO_IMG : MORVAK_DEMO_RAW;
  const std::string expected = ReadText(std::string(MORVAK_DEMO_BLOCKS_DIR) + "/demo." + which + ".blocks");
  ASSERT_FALSE(expected.empty());
  Scratch scratch;
  const std::string record = scratch.Path("blocks.txt");
  const Outcome o = RunCli("flash --virtual-handset --record-blocks " + Quote(record) + " " + Quote(image));
  ASSERT_EQ(o.status, 0) << o.output;
  const std::string got = ReadText(record);
  ASSERT_EQ(got.rfind("DATA_PROGRAM 0x10000000 ", 0), 0u) << got;
  EXPECT_EQ(got.substr(got.find('\n') + 1), expected);
}

INSTANTIATE_TEST_SUITE_P(Cli, CliRecordTest, ::testing::Values("img", "raw"));

}  // namespace
