// Linux half of the thread layer: thread ids and per-thread nice values.
#include <sys/resource.h>
#include <unistd.h>

#include "TZThreadImpl.h"
#include "platform/TZWorkerThread.h"

uint32_t TZGetCurrentThreadId() { return static_cast<uint32_t>(gettid()); }

void XTZApplyThreadPriority(uint32_t inPriority) {
  int nice = 0;
  switch (inPriority) {
    case 0:
      nice = 10;
      break;
    case 1:
      nice = 5;
      break;
    case 2:
      return;
    case 3:
      nice = -5;
      break;
    case 4:
      nice = -10;
      break;
    default:
      nice = 0;
      break;
  }
  // On Linux a nice value set for a thread id applies to that thread only. Without the right to
  // raise priority the call fails; the thread then keeps the priority it has.
  setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), nice);
}
