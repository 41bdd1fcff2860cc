// Error texts of the second generation, in the back ends' narrow encoding.
#pragma once

namespace ver_2 {

inline constexpr char kErrorText[] = "错误";               // "error"
inline constexpr char kParameterErrorText[] = "参数错误";  // "parameter error"

}  // namespace ver_2
