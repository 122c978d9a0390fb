// Runs the upload reader on one body, whole or in pieces, and what any body must give: the
// same outcome and content however it is split. Shared by the unit tests and the fuzz target.
#ifndef TESTS_ANTENNA_MULTIPART_CHECK_H
#define TESTS_ANTENNA_MULTIPART_CHECK_H

#include <cstdint>
#include <string>
#include <vector>

#include "multipart.h"

namespace antenna {

struct Parsed {
    multipart::Outcome outcome;
    std::string content;
    int restarts = 0;

    bool operator==(const Parsed &other) const
    {
        return outcome == other.outcome && content == other.content && restarts == other.restarts;
    }
};

class Collect final : public multipart::Sink {
public:
    explicit Collect(Parsed &parsed) : parsed_(parsed) {}
    void write(const char *data, size_t size) override { parsed_.content.append(data, size); }
    void restart() override
    {
        parsed_.content.clear();
        ++parsed_.restarts;
    }

private:
    Parsed &parsed_;
};

// Feeds the body in pieces of the given sizes, used in turn; no sizes feeds it whole. Stops
// feeding when the reader wants no more, as the program does.
inline Parsed parse(const char *content_type, const std::string &body,
                    const std::vector<size_t> &pieces = {})
{
    Parsed parsed;
    Collect sink(parsed);
    multipart::Reader reader(content_type, sink);
    size_t at = 0;
    for (size_t turn = 0; at < body.size(); ++turn) {
        size_t size = pieces.empty() ? body.size() : pieces[turn % pieces.size()];
        if (size > body.size() - at)
            size = body.size() - at;
        bool more = reader.feed(body.data() + at, size);
        at += size;
        if (!more)
            break;
    }
    parsed.outcome = reader.finish();
    return parsed;
}

// Pseudo-random piece sizes from a seed: mostly small, now and then beyond the window.
inline std::vector<size_t> random_pieces(uint32_t seed, size_t count = 64)
{
    std::vector<size_t> pieces;
    uint32_t state = seed * 2654435761u + 1;
    for (size_t i = 0; i < count; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        size_t size = state % 8 == 0 ? state % (3 * multipart::window_size) : 1 + state % 97;
        pieces.push_back(size == 0 ? 1 : size);
    }
    return pieces;
}

// Whole, byte by byte and in random pieces, the reader must agree with itself; it never passes
// on more bytes than the body has. Returns the whole-body result.
inline bool split_invariant(const char *content_type, const std::string &body, uint32_t seed,
                            Parsed *whole_out = nullptr)
{
    Parsed whole = parse(content_type, body);
    if (whole_out != nullptr)
        *whole_out = whole;
    if (whole.content.size() > body.size())
        return false;
    return parse(content_type, body, {1}) == whole &&
           parse(content_type, body, random_pieces(seed)) == whole &&
           parse(content_type, body, {multipart::window_size - 1, 2}) == whole;
}

} // namespace antenna

#endif
