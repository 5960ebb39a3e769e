#pragma once
// The texts the image file loaders show. Pure.
#include <cstddef>
#include <cstdint>
#include <string>

namespace kv9 {

// Message box for a data record with a byte outside the image area.
inline constexpr const char* kOutOfRangeMessage = "データが、範囲外です！！";
// Message box for a file that holds no data record for the image area: an
// empty file, a header alone, text that is not S-records or Intel HEX.
inline constexpr const char* kNoDataMessage =
    "ファイルに書き込むデータがありません。ファイルを確認してください。";
// Message box for a file without its termination record (S7/S8/S9, or the
// Intel HEX end-of-file record): a copy or download cut short.
inline constexpr const char* kIncompleteFileMessage =
    "ファイルが途中で終わっています（終了レコードがありません）。ファイルを確認してください。";

// What a file of another type than .hex or .mot says where a text is
// wanted (the desktop tool shows no box for it; the terminal prints it).
inline constexpr const char* kUnknownExtensionText =
    "ファイルの拡張子が .hex（Intel HEX）でも .mot（Sレコード）でもありません。";

// Debug line after a load that wrote bytes: "プログラムデータ読み込み終了[<n>Bytes]".
std::string LoadSummaryLine(std::uint32_t byteCount);

// Debug line with the image CRC after every file load: "CRC: " + 4 upper-case hex digits.
std::string ImageCrcLine(std::uint16_t crc);

// Message box for a record line shorter than its count says (1-based line).
std::string TruncatedRecordMessage(std::size_t lineNumber);
// Message box for an S5/S6 record whose count differs from the data records before it.
std::string RecordCountMessage(std::uint32_t announced, std::uint32_t found);
// Message box for a data record after the termination record (S7/S8/S9, or
// the Intel HEX end-of-file record), at 1-based line `lineNumber`: most
// often two files joined into one.
std::string DataAfterEndMessage(std::size_t lineNumber);
// Message box for a byte that two records of the file place, at `address`.
std::string OverlapMessage(std::uint32_t address);
// What a load that failed on a record checksum says where a text is wanted
// (the desktop tool shows no box for it; the terminal prints it).
std::string ChecksumErrorText(std::size_t lineNumber);
// Forced log line after a load whose data the update will not program: the
// resident loader's top 16 KB.
std::string UnprogrammedDataLine(std::uint32_t byteCount);
// Message for an image whose first byte belongs to another address than the
// ROM size setting's first address.
std::string ImageAreaMismatchMessage(std::uint32_t imageStart, std::uint32_t romStart);

}  // namespace kv9
