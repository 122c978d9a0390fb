// The upload reader on its own: bodies in, the outcome and the content it passes on out.
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "multipart_check.h"

namespace {

using antenna::parse;
using antenna::Parsed;
using multipart::Outcome;

const std::string disposition_file =
    "Content-Disposition: form-data; name=\"file\"; filename=\"aerkind.txt\"\r\n";
const std::string disposition_field = "Content-Disposition: form-data; name=\"note\"\r\n";

std::string part(const std::string &boundary, const std::string &headers,
                 const std::string &content)
{
    return "--" + boundary + "\r\n" + headers + "\r\n" + content + "\r\n";
}

std::string file_part(const std::string &boundary, const std::string &content)
{
    return part(boundary, disposition_file + "Content-Type: text/plain\r\n", content);
}

std::string closing(const std::string &boundary)
{
    return "--" + boundary + "--\r\n";
}

const char *const form_type = "multipart/form-data; boundary=XyZ";

struct ReaderCase {
    const char *name;
    std::optional<std::string> content_type;
    std::string body;
    Outcome outcome;
    std::string content;
};

class Reader : public testing::TestWithParam<ReaderCase> {};

TEST_P(Reader, PassesOnTheFilePart)
{
    const ReaderCase &c = GetParam();
    const char *type = c.content_type ? c.content_type->c_str() : nullptr;
    Parsed whole;
    EXPECT_TRUE(antenna::split_invariant(type, c.body, 7, &whole));
    EXPECT_EQ(whole.outcome, c.outcome);
    if (c.outcome == Outcome::stored) {
        EXPECT_EQ(whole.content, c.content);
    }
}

const std::string list = "ANT1\r\nANT2\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, Reader,
    testing::Values(
        ReaderCase{"Plain", form_type, file_part("XyZ", list) + closing("XyZ"), Outcome::stored,
                   list},
        ReaderCase{"QuotedBoundaryWithBlankAndColon", "multipart/form-data; boundary=\"a b:c\"",
                   file_part("a b:c", list) + closing("a b:c"), Outcome::stored, list},
        ReaderCase{"QuotedPairInBoundary", "multipart/form-data; boundary=\"x\\\"y\"",
                   file_part("x\"y", list) + closing("x\"y"), Outcome::stored, list},
        ReaderCase{"ParameterNameInAnyCase", "Multipart/Form-Data; charset=utf-8; BoUnDaRy=XyZ",
                   file_part("XyZ", list) + closing("XyZ"), Outcome::stored, list},
        ReaderCase{"BoundaryNamedInsideAnotherValueIsNotTheBoundary",
                   "multipart/form-data; x=\"; boundary=no\"; boundary=XyZ",
                   file_part("XyZ", list) + closing("XyZ"), Outcome::stored, list},
        ReaderCase{"BoundaryFromTheBody", std::nullopt, file_part("XyZ", list) + closing("XyZ"),
                   Outcome::stored, list},
        ReaderCase{"BoundaryFromTheBodyAfterPreambleAndPadding", "multipart/form-data",
                   "preamble\r\n- not yet\r\n--XyZ \t\r\n" + disposition_file + "\r\n" + list +
                       "\r\n" + closing("XyZ"),
                   Outcome::stored, list},
        ReaderCase{"PreambleEpilogueAndPadding", form_type,
                   "this is the preamble\r\n--XyZx\r\n--XyZ-x\r\n--XyZ \t \r\n" + disposition_file +
                       "\r\n" + list + "\r\n--XyZ--  \r\nepilogue --XyZ",
                   Outcome::stored, list},
        ReaderCase{"ClosingWithoutLineEnd", form_type, file_part("XyZ", list) + "--XyZ--",
                   Outcome::stored, list},
        ReaderCase{"BoundaryLookalikesAreContent", form_type,
                   file_part("XyZ", "a--XyZ\r\n--XyZx\r\n--XyZ-\r\n--Xy\r\n-\r\n--XyZ\t.\r\n") +
                       closing("XyZ"),
                   Outcome::stored, "a--XyZ\r\n--XyZx\r\n--XyZ-\r\n--Xy\r\n-\r\n--XyZ\t.\r\n"},
        ReaderCase{"HeaderLikeContent", form_type,
                   file_part("XyZ", "\r\nContent-Type: text/plain\r\n\r\n\r\nX") + closing("XyZ"),
                   Outcome::stored, "\r\nContent-Type: text/plain\r\n\r\n\r\nX"},
        ReaderCase{"EmptyContent", form_type, file_part("XyZ", "") + closing("XyZ"),
                   Outcome::stored, ""},
        ReaderCase{"PartWithoutHeaders", form_type, "--XyZ\r\n\r\n" + list + "\r\n--XyZ--",
                   Outcome::stored, list},
        ReaderCase{"PartWithoutBody", form_type, "--XyZ\r\n" + disposition_file + "\r\n--XyZ--",
                   Outcome::stored, ""},
        ReaderCase{"FieldBeforeFile", form_type,
                   part("XyZ", disposition_field, "Content-Type\r\n\r\nhello") +
                       file_part("XyZ", list) + closing("XyZ"),
                   Outcome::stored, list},
        ReaderCase{"FirstFileWins", form_type,
                   file_part("XyZ", list) + file_part("XyZ", "other") +
                       part("XyZ", disposition_field, "x") + closing("XyZ"),
                   Outcome::stored, list},
        ReaderCase{"FieldAloneIsTheFile", form_type,
                   part("XyZ", disposition_field, list) + closing("XyZ"), Outcome::stored, list},
        ReaderCase{"FilenameOnlyAsAParameter", form_type,
                   part("XyZ", "Content-Disposition: form-data; name=\"filename=a; filename\"\r\n",
                        "field") +
                       part("XyZ", "X-Filename: filename=\"b\"\r\n", "other") + closing("XyZ"),
                   Outcome::stored, "field"},
        ReaderCase{
            "HeaderAndParameterNamesInAnyCase", form_type,
            part("XyZ", disposition_field, "field") +
                part("XyZ", "content-DISPOSITION : form-data; FileName*=UTF-8''a\r\n", list) +
                closing("XyZ"),
            Outcome::stored, list},
        ReaderCase{"NoPart", form_type, "preamble\r\n--XyZ--\r\n", Outcome::no_part, ""},
        ReaderCase{"NoFileChosenIsNoPart", form_type,
                   part("XyZ",
                        "Content-Disposition: form-data; name=\"file\"; filename=\"\"\r\n"
                        "Content-Type: application/octet-stream\r\n",
                        "") +
                       closing("XyZ"),
                   Outcome::no_part, ""},
        ReaderCase{
            "NoFileChosenIsPassedOver", form_type,
            part("XyZ", "Content-Disposition: form-data; name=\"a\"; filename=\"\"\r\n", "") +
                file_part("XyZ", list) + closing("XyZ"),
            Outcome::stored, list},
        ReaderCase{"NoDelimiter", form_type, list, Outcome::unterminated, ""},
        ReaderCase{"NoClosingDelimiter", form_type, file_part("XyZ", list), Outcome::unterminated,
                   ""},
        ReaderCase{"ClosingDelimiterCut", form_type, file_part("XyZ", list) + "--XyZ-",
                   Outcome::unterminated, ""},
        ReaderCase{"BareLineFeedsAreNoDelimiters", form_type,
                   "--XyZ\n" + disposition_file + "\n" + list + "\n--XyZ--\n",
                   Outcome::unterminated, ""},
        ReaderCase{"EmptyBoundary", "multipart/form-data; boundary=\"\"",
                   file_part("", list) + closing(""), Outcome::malformed, ""},
        ReaderCase{"BoundaryOf71", "multipart/form-data; boundary=" + std::string(71, 'b'),
                   file_part(std::string(71, 'b'), list) + closing(std::string(71, 'b')),
                   Outcome::malformed, ""},
        ReaderCase{"BoundaryOf71FromTheBody", std::nullopt,
                   file_part(std::string(71, 'b'), list) + closing(std::string(71, 'b')),
                   Outcome::malformed, ""},
        ReaderCase{"HeaderLineBeyondTheWindow", form_type,
                   file_part("XyZ", "") +
                       part("XyZ", "X-Long: " + std::string(5000, 'h') + "\r\n", list) +
                       closing("XyZ"),
                   Outcome::malformed, ""}),
    [](const testing::TestParamInfo<ReaderCase> &info) { return info.param.name; });

// Content that keeps almost forming the delimiter: CR LF, hyphens and a growing part of the
// boundary, mixed with every byte value.
std::string near_misses(const std::string &boundary, size_t size, uint32_t seed)
{
    std::string content;
    uint32_t state = seed | 1;
    while (content.size() < size) {
        state = state * 1103515245u + 12345u;
        uint32_t pick = (state >> 16) % 8;
        if (pick == 0)
            content += "\r\n--" + boundary.substr(0, (state >> 8) % boundary.size());
        else if (pick == 1)
            content += "\r\n";
        else
            content += static_cast<char>(state >> 24);
    }
    content.resize(size);
    // Random bytes can still complete a delimiter now and then: break those.
    for (size_t at; (at = content.find("\r\n--" + boundary)) != std::string::npos;)
        content[at + 3] = '_';
    return content;
}

std::string boundary_of(size_t size)
{
    static const std::string chars =
        "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ'()+_,-./:=?";
    std::string boundary;
    for (size_t i = 0; i < size; ++i)
        boundary += chars[(i * 7 + size) % chars.size()];
    return boundary;
}

TEST(Reader, SplitsAnywhereGiveTheSameContent)
{
    const size_t window = multipart::window_size;
    for (size_t boundary_size : {1u, 2u, 16u, 38u, 69u, 70u}) {
        std::string boundary = boundary_of(boundary_size);
        std::string type = "multipart/form-data; boundary=\"" + boundary + "\"";
        for (size_t size :
             {size_t{0}, size_t{1}, size_t{3}, boundary_size + 3, boundary_size + 4,
              window - boundary_size - 5, window - 1, window, window + 1, 2 * window + 77}) {
            SCOPED_TRACE("boundary " + std::to_string(boundary_size) + ", content " +
                         std::to_string(size));
            std::string content = near_misses(boundary, size, static_cast<uint32_t>(size));
            ASSERT_EQ(content.find("\r\n--" + boundary), std::string::npos);
            std::string body = part(boundary, disposition_field, "field") +
                               file_part(boundary, content) + closing(boundary);
            for (uint32_t seed = 1; seed <= 4; ++seed) {
                Parsed whole;
                ASSERT_TRUE(antenna::split_invariant(type.c_str(), body, seed, &whole));
                ASSERT_EQ(whole.outcome, Outcome::stored);
                ASSERT_EQ(whole.content, content);
                ASSERT_TRUE(antenna::split_invariant(nullptr, body, seed, &whole));
                ASSERT_EQ(whole.content, content);
            }
        }
    }
}

// A cheap stand-in for the fuzz target in every build: valid bodies with bytes changed,
// inserted or cut, each of which must still read the same in any split.
TEST(Reader, DamagedBodiesReadTheSameInAnySplit)
{
    const std::string boundary = "b";
    const std::string type = "multipart/form-data; boundary=b";
    const std::string pieces[] = {
        "\r\n", "--", "--b", "\r\n--b", "\r\n\r\n", "\"", ";", "filename=x", "Content-Disposition:",
        " ",    "\r"};
    const std::string base = part(boundary, disposition_field, "field") +
                             file_part(boundary, near_misses(boundary, 300, 3)) + closing(boundary);
    uint32_t state = 12345;
    auto next = [&state](uint32_t range) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state % range;
    };
    for (int round = 0; round < 3000; ++round) {
        std::string body = base;
        for (uint32_t edits = 1 + next(4); edits > 0; --edits) {
            size_t at = next(static_cast<uint32_t>(body.size() + 1));
            switch (next(3)) {
            case 0:
                body.insert(at, pieces[next(std::size(pieces))]);
                break;
            case 1:
                body.erase(at, next(8));
                break;
            default:
                if (at < body.size())
                    body[at] = static_cast<char>(next(256));
            }
        }
        const char *chosen_type = round % 3 == 0 ? nullptr : type.c_str();
        ASSERT_TRUE(antenna::split_invariant(chosen_type, body, static_cast<uint32_t>(round)))
            << testing::PrintToString(body);
    }
}

} // namespace
