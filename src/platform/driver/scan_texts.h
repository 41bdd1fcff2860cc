// The texts of the scan events every driver sends; pages show them as they
// are and compare them, so both drivers take them from here.
#pragma once

inline constexpr const char* kScanWorkingText = "扫描中";
inline constexpr const char* kScanCompletedText = "扫描完成";
inline constexpr const char* kScanCancelledText = "扫描取消";
inline constexpr const char* kScanJammedText = "卡纸";
inline constexpr const char* kScanNoMemoryText = "内存不足";
