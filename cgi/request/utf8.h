/* UTF-8 for texts that cross between the pages and the records' fixed-size fields. */
#ifndef REQUEST_UTF8_H
#define REQUEST_UTF8_H

#include <cstddef>
#include <string>
#include <string_view>

namespace utf8 {

/* Bytes of a valid character starting at text[0]; 0 when none starts there. */
size_t character_size(std::string_view text);

bool valid(std::string_view text);

/* How many bytes of text to keep within limit bytes: all of them when they fit; otherwise
 * limit, moved back to the end of the last whole character when text is valid UTF-8 (a text
 * that is not is cut at the byte). */
size_t cut(std::string_view text, size_t limit);

/* text with each byte that begins no valid character replaced by U+FFFD. */
std::string repaired(std::string_view text);

} // namespace utf8

#endif
