// The line protocol between SocketEarthClient and carvento-earth, and the helpers both sides use
// to write and read it.
//
// The connection is a local stream socket (AF_UNIX). The client writes one request per line and
// the server answers each with exactly one line, in order:
//
//   request                                       answer
//   INITIALIZED                                   OK 1|0
//   ONLINE                                        OK 1|0
//   CAMERA                                        OK lat lon alt range tilt azimuth
//   SETCAMERA lat lon alt mode range tilt azimuth speed
//                                                 OK
//   KML <n>  followed by exactly n bytes of UTF-8 OK
//   SPEED                                         OK speed
//   TERRAIN x y                                   OK lat lon alt 1|0   (1: the altitude is an
//                                                 elevation) or OK none (no ground there)
//   MAINWINDOW                                    OK left top width height
//   RENDERWINDOW                                  OK left top width height
//   MOVEMAIN left top width height                OK
//   MOVERENDER width height                       OK
//   STATS                                         OK moves terrainQueries kmlBytes
//
// STATS is ours alone (the real globe has no such call): the number of camera moves, of TERRAIN
// answers and of KML bytes accepted since the server started, so tests can see what a task did.
//
// Any request the server cannot read gets `ERR message` and the connection goes on, except a
// line longer than kMaxLineLength or a KML payload larger than kMaxKmlBytes: the server answers
// ERR and closes that connection, because it cannot tell where the next request starts.
//
// A request line may end in CR LF. Fields are separated by single spaces. Numbers are written as
// printf("%.17g") does in the C locale (so a double survives the trip bit for bit) and read with
// std::from_chars, never with the process locale. Requests with non-finite numbers are refused.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace carvento::earth::protocol {

inline constexpr std::size_t kMaxLineLength = 4096;
inline constexpr std::size_t kMaxKmlBytes = 256u * 1024u * 1024u;

// The socket both sides use: $CARVENTO_EARTH_SOCKET when set and not empty, otherwise
// $XDG_RUNTIME_DIR/carvento-earth.sock, otherwise /tmp/carvento-earth-<uid>.sock.
std::string DefaultSocketPath();
// How long a client waits for an answer: $CARVENTO_EARTH_TIMEOUT_MS milliseconds when set to a
// positive whole number, otherwise `fallback`.
std::chrono::milliseconds AnswerTimeout(std::chrono::milliseconds fallback);

// Appends " " and the number as printf("%.17g") writes it in the C locale.
void AppendNumber(std::string& line, double value);
// Appends " " and the integer.
void AppendInteger(std::string& line, long long value);

// The whole field as a finite double ("1e3", "-0.5"; not "", "1,5", "nan", "1x").
std::optional<double> ParseNumber(std::string_view field);
// The whole field as a decimal integer in the long long range.
std::optional<long long> ParseInteger(std::string_view field);

// The fields of a line split at single spaces; an empty line has no fields. Consecutive spaces
// make empty fields, which every reader refuses.
std::vector<std::string_view> SplitFields(std::string_view line);

// Every field as a finite number, or nothing when one is not.
std::optional<std::vector<double>> ParseNumbers(const std::vector<std::string_view>& fields,
                                                std::size_t first);

} // namespace carvento::earth::protocol
