#pragma once
// Round-robin real-time scheduling for the threads that feed or drain a sound
// device on time. Under a normal time share a busy machine wakes them tens of
// milliseconds late, which is heard as a gap; where the user may not have
// real-time rights the thread just stays as it is.

namespace kova {

// On the thread itself. priority 1 (lowest) .. 99; false when refused.
bool raiseCurrentThreadToRealTime(int priority);

}  // namespace kova
