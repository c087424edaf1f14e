#include "timesync/VRN_TimeSync.h"

namespace tavrel {

// The spoken time needs the speech engine, which start-up does not create
// yet: there is nothing to speak with, so no minute is spoken.
void VoiceTime(bool) {}

}  // namespace tavrel
