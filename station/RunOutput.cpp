#include "RunOutput.h"

namespace morvak {

bool ApplyRunEvent(RunEvent& event, HandsetOutcome& o, IRunOutput& output) {
  switch (event.kind) {
    case RunEvent::kLine:
      o.lastLine = event.text;
      output.Line(o.port, event);
      break;
    case RunEvent::kProgressRange:
    case RunEvent::kProgressPosition:
      output.Progress(o.port, event);
      break;
    case RunEvent::kOutcome:
      o.succeeded = event.succeeded;
      o.endedAt = event.time;
      break;
    case RunEvent::kBox:
      output.Box(o.port, event);
      event.closed->set_value();
      break;
    case RunEvent::kFinished: return true;
  }
  return false;
}

}  // namespace morvak
