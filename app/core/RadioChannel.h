// The AIS radio channel a message was received on (ITU-R M.1371: AIS 1 on
// 161.975 MHz is "A", AIS 2 on 162.025 MHz is "B"). With one receiver the
// channel is not known and the sentences leave their channel field empty.
#pragma once

namespace kelvane {

enum class RadioChannel : char { Unknown = 0, A = 'A', B = 'B' };

}  // namespace kelvane
