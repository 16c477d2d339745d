// Every fixed text that a page shows in a message box, in one place.
#pragma once

namespace carvento::pages::messages {

inline constexpr const char* kApplicationTitle = "Carvento";

inline constexpr const char* kCopied = "表格数据已复制到剪贴板!欢迎粘贴使用。";
inline constexpr const char* kNoDataInFirstLines = "文本文件前8行未找到数据!";
inline constexpr const char* kShortLine = "第%d行数据不足,请检测数据完整性!"; // %d: line
inline constexpr const char* kEnterInteger = "请输入一个整数。";
inline constexpr const char* kEllipsoidIncomplete = "数据填写不完整，新建椭球失败！";

// Our own texts for failures that must not pass silently.
inline constexpr const char* kInvalidBytes = "第%d行含有无法识别的字符编码,请检查文件!"; // %d: line
inline constexpr const char* kCannotCreateFile = "无法创建文件: %s";                     // %s: path
inline constexpr const char* kWriteFailed = "文件写入失败,数据未完整保存: %s";           // %s: path
inline constexpr const char* kCannotReadFile = "无法读取文件: %s";                       // %s: path
inline constexpr const char* kNothingToExport = "结果表中没有数据,没有导出文件。";
inline constexpr const char* kUnrepresentable =
    "第%d行含有GBK编码无法保存的字符,导出失败: %s"; // %d: line in the file, %s: path

inline constexpr const char* kTextFileFilterName = "文本数据文件(*.txt;*.dat;*.csv)";
inline constexpr const char* kTextFileFilter = "*.txt;*.dat;*.csv";

} // namespace carvento::pages::messages

// The custom ellipsoid editor's refusals beyond an empty field.
namespace carvento::pages::messages {
inline constexpr const char* kEllipsoidNameSeparator =
    "椭球名称不能包含分号(;)或逗号(,)，新建椭球失败！";
inline constexpr const char* kEllipsoidNotStored = "无法写入配置文件，新建椭球失败！";
} // namespace carvento::pages::messages

// The parameter import of the transformation pages: the widest of the file's first lines
// holds fewer values than the page needs.
namespace carvento::pages::messages {
inline constexpr const char* kThreeParamsFieldCount = "行参数不足或多余3个,请检查!";
inline constexpr const char* kFourParamsFieldCount = "行参数不足或多余4个,请检查!";
inline constexpr const char* kSevenParamsFieldCount = "行参数不足或多余7个,请检查!";
// A solve whose σ0 is beyond any survey: the parameters are not shown.
inline constexpr const char* kFitUnusable =
    "单位权中误差σ0=%s m,超过10 m,解算结果不可用:请检查公共点的对应、Y加常数、带号和坐标类型!";
} // namespace carvento::pages::messages

// File conversion.
namespace carvento::pages::messages {
inline constexpr const char* kErrorCaption = "错误";
inline constexpr const char* kLoadFailed = "%s 加载失败!"; // %s: path
inline constexpr const char* kSaveFailed = "%s 保存失败!"; // %s: path
// The lines above the file list of the pages that read coordinate text files.
inline constexpr const char* kTextInputNote =
    "1、坐标行格式:标识,纬度,经度,备注\r\n2、经纬度均为十进制度为单位\r\n"
    "3、文本文件必须有文件头（首行屏蔽）";
// A text file without the name, latitude and longitude columns: nothing is taken from it.
inline constexpr const char* kTooFewColumns = "%s 少于3列(标识,纬度,经度),未转换!";
// A latitude or longitude that is no decimal degree number within ±90°/±180°: nothing of the
// file is converted.
inline constexpr const char* kCoordinateNotNumber =
    "第%d行经纬度不是有效的十进制度数,%s 未转换:"; // %d: line, %s: path; the cell follows
// A KML or GPX file without anything of the kinds asked for.
inline constexpr const char* kNothingToConvert = "%s 未找到可转换的数据!"; // %s: path
// A conversion that used its input only partly never replaces a complete earlier output.
inline constexpr const char* kPartialSuffix = "_不完整";
inline constexpr const char* kPartialWritten = "结果不完整,已写入 %s"; // %s: path
inline constexpr const char* kPartialBeside =
    "结果不完整,已写入 %s,原有的 %s 未改动"; // %s: partial path, earlier output
// 剔除超限点重新解算 without a row the last solve marked.
inline constexpr const char* kNothingToSetAside = "没有超出3倍单位权中误差的点,无需剔除!";
} // namespace carvento::pages::messages
