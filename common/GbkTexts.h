#pragma once

// The fixed texts of the core, as GBK bytes. Each line carries the text itself in a comment.

namespace chengfan::common {

inline constexpr char kSectionUrl[] = "\xB6\xAF\xCC\xAC\xCD\xF8\xD6\xB7";  // 动态网址
inline constexpr char kSectionSavePath[] = "\xB4\xA2\xB4\xE6\xB5\xD8\xD6\xB7";  // 储存地址
inline constexpr char kSectionLoopTime[] = "\xD1\xAD\xBB\xB7\xCA\xB1\xBC\xE4";  // 循环时间
inline constexpr char kKeyLoopTime[] = "\xCA\xB1\xBC\xE4";  // 时间
inline constexpr char kSectionTaskCount[] = "ID";  // ID
inline constexpr char kKeyTaskCount[] = "ID";  // ID
inline constexpr char kMessageNoInternet[] = "\xC3\xBB\xC1\xAA\xCD\xF8\xA3\xA1\xC7\xEB\xBC\xEC\xB2\xE9\xC4\xFA\xB5\xC4\xCD\xF8\xC2\xE7\xA3\xA1";  // 没联网！请检查您的网络！
inline constexpr char kMessageNoUrl[] = "\xB6\xAF\xCC\xAC\xCD\xF8\xD6\xB7\xB2\xBB\xC4\xDC\xCE\xAA\xBF\xD5\xC5\xB6\xA3\xA1";  // 动态网址不能为空哦！
inline constexpr char kMessageNoSavePath[] = "\xB4\xA2\xB4\xE6\xB5\xD8\xD6\xB7\xB2\xBB\xC4\xDC\xCE\xAA\xBF\xD5\xC5\xB6\xA3\xA1";  // 储存地址不能为空哦！
inline constexpr char kMessageNoLoopTime[] = "\xD1\xAD\xBB\xB7\xCA\xB1\xBC\xE4\xB2\xBB\xC4\xDC\xCE\xAA\xBF\xD5\xC5\xB6\xA3\xA1";  // 循环时间不能为空哦！
inline constexpr char kMessageStopped[] = "\xD2\xD1\xCD\xA3\xD6\xB9\xD6\xB4\xD0\xD0\xC3\xFC\xC1\xEE";  // 已停止执行命令
inline constexpr char kMessageUpdate[] = "\xC8\xED\xBC\xFE\xD3\xD0\xB8\xFC\xD0\xC2";  // 软件有更新
inline constexpr char kStatusRunning[] = "\xC8\xCE\xCE\xF1\xBD\xF8\xD0\xD0\xD6\xD0......";  // 任务进行中......
inline constexpr char kStatusPassEnded[] = "\xD7\xEE\xBA\xF3\xD2\xBB\xB4\xCE\xC9\xFA\xB3\xC9\xCA\xB1\xBC\xE4";  // 最后一次生成时间
inline constexpr char kStatusNotStarted[] = "\xC9\xD0\xCE\xB4\xC6\xF4\xB6\xAF\xC8\xCE\xCE\xF1";  // 尚未启动任务
inline constexpr char kLastRunInitial[] = "0\xC4\xEA" "0\xD4\xC2" "0\xC8\xD5" "0\xCA\xB1" "0\xB7\xD6" "0\xC3\xEB";  // 0年0月0日0时0分0秒
inline constexpr char kYear[] = "\xC4\xEA";  // 年
inline constexpr char kMonth[] = "\xD4\xC2";  // 月
inline constexpr char kDay[] = "\xC8\xD5";  // 日
inline constexpr char kHour[] = "\xCA\xB1";  // 时
inline constexpr char kMinute[] = "\xB7\xD6";  // 分
inline constexpr char kSecond[] = "\xC3\xEB";  // 秒

}  // namespace chengfan::common
