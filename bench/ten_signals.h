// A message of ten signals over eight bytes, with the factors and offsets a
// real engine message has, for the decoding benchmarks.
#pragma once

namespace ombrix::bench {

inline constexpr const char* kTenSignals = R"(BO_ 256 Engine: 8 ECU
 SG_ Speed : 0|12@1+ (0.1,0) [0|409.5] "km/h" X
 SG_ Rpm : 12|14@1+ (0.5,0) [0|8191.5] "rpm" X
 SG_ Torque : 26|10@1- (1,-100) [-612|411] "Nm" X
 SG_ Gear : 36|4@1+ (1,0) [0|15] "" X
 SG_ Throttle : 40|8@1+ (0.4,0) [0|102] "%" X
 SG_ Coolant : 55|8@0+ (1,-40) [-40|215] "degC" X
 SG_ Oil : 63|6@0+ (2,0) [0|126] "degC" X
 SG_ Fault : 57|1@1+ (1,0) [0|1] "" X
 SG_ Mode : 58|3@1+ (1,0) [0|7] "" X
 SG_ Counter : 61|3@1+ (1,0) [0|7] "" X
)";

}  // namespace ombrix::bench
