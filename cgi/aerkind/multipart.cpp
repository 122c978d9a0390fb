#include "multipart.h"

#include <cstring>

namespace multipart {

namespace {

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

char lower_ascii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

/* Header and parameter names compare without regard to case (RFC 2045, RFC 5322). */
bool same_name(const char *text, size_t size, const char *lower)
{
    if (size != strlen(lower))
        return false;
    for (size_t i = 0; i < size; ++i)
        if (lower_ascii(text[i]) != lower[i])
            return false;
    return true;
}

const char *find(const char *data, size_t size, const char *needle, size_t needle_size)
{
    return static_cast<const char *>(memmem(data, size, needle, needle_size));
}

struct Parameter {
    const char *name;
    size_t name_size;
    const char *value;
    size_t value_size;
    bool quoted;
};

/* The next "; name=value" of a header value, the value a token or a quoted string. Anything
 * before the first ';' (the media type, the disposition) is passed over. */
bool next_parameter(const char *&at, const char *end, Parameter &parameter)
{
    while (at < end && *at != ';') {
        if (*at == '"') {
            for (++at; at < end && *at != '"'; ++at)
                if (*at == '\\' && at + 1 < end)
                    ++at;
        }
        if (at < end)
            ++at;
    }
    if (at == end)
        return false;
    for (++at; at < end && is_blank(*at); ++at) {
    }
    parameter.name = at;
    while (at < end && *at != '=' && *at != ';' && !is_blank(*at))
        ++at;
    parameter.name_size = static_cast<size_t>(at - parameter.name);
    while (at < end && is_blank(*at))
        ++at;
    parameter.value = at;
    parameter.value_size = 0;
    parameter.quoted = false;
    if (at == end || *at != '=')
        return true;
    for (++at; at < end && is_blank(*at); ++at) {
    }
    if (at < end && *at == '"') {
        parameter.quoted = true;
        parameter.value = ++at;
        while (at < end && *at != '"')
            at += (*at == '\\' && at + 1 < end) ? 2 : 1;
        parameter.value_size = static_cast<size_t>(at - parameter.value);
        if (at < end)
            ++at;
        return true;
    }
    parameter.value = at;
    while (at < end && *at != ';' && !is_blank(*at))
        ++at;
    parameter.value_size = static_cast<size_t>(at - parameter.value);
    return true;
}

} // namespace

Reader::Reader(const char *content_type, Sink &sink) : sink_(sink), state_(State::sniff)
{
    if (content_type == nullptr)
        return;
    const char *at = content_type;
    const char *end = at + strlen(at);
    Parameter parameter;
    while (next_parameter(at, end, parameter)) {
        if (!same_name(parameter.name, parameter.name_size, "boundary"))
            continue;
        if (!set_boundary(parameter.value, parameter.value_size, parameter.quoted)) {
            state_ = State::failed;
            return;
        }
        /* The first delimiter may open the body without the CR LF that every other one has. */
        memcpy(window_, "\r\n", 2);
        length_ = 2;
        state_ = State::preamble;
        return;
    }
}

bool Reader::set_boundary(const char *text, size_t size, bool quoted)
{
    size_t boundary_size = 0;
    for (size_t i = 0; i < size; ++i) {
        if (quoted && text[i] == '\\' && i + 1 < size)
            ++i;
        if (boundary_size == max_boundary)
            return false;
        delimiter_[4 + boundary_size++] = text[i];
    }
    if (boundary_size == 0)
        return false;
    memcpy(delimiter_, "\r\n--", 4);
    delimiter_size_ = 4 + boundary_size;
    return true;
}

bool Reader::feed(const char *data, size_t size)
{
    while (size > 0 && state_ != State::done && state_ != State::failed) {
        size_t take = window_size - length_;
        if (take > size)
            take = size;
        memcpy(window_ + length_, data, take);
        length_ += take;
        data += take;
        size -= take;
        process();
        /* Whatever still fills the whole window cannot be a header line or a delimiter. */
        if (length_ == window_size && state_ != State::done)
            state_ = State::failed;
    }
    return state_ != State::done && state_ != State::failed;
}

Outcome Reader::finish()
{
    if (state_ == State::done)
        return chosen_ != Chosen::none ? Outcome::stored : Outcome::no_part;
    if (state_ == State::failed)
        return Outcome::malformed;
    return Outcome::unterminated;
}

void Reader::process()
{
    for (;;) {
        bool more = false;
        switch (state_) {
        case State::sniff:
            more = sniff_boundary();
            break;
        case State::headers:
            more = read_header_line();
            break;
        case State::preamble: /* read as the content of a part that goes nowhere */
        case State::body:
            more = read_body();
            break;
        case State::done:
        case State::failed:
            break;
        }
        if (!more)
            return;
    }
}

/* Without a boundary from the request, the first line that starts with "--" is the delimiter
 * line; the lines before it are preamble. */
bool Reader::sniff_boundary()
{
    const char *line_end = find(window_, length_, "\r\n", 2);
    if (!sniff_at_line_start_) {
        if (line_end == nullptr) {
            consume(length_ - (length_ > 0 && window_[length_ - 1] == '\r' ? 1 : 0));
            return false;
        }
        consume(static_cast<size_t>(line_end - window_) + 2);
        sniff_at_line_start_ = true;
        return true;
    }
    if (length_ < 2)
        return false;
    if (window_[0] != '-' || window_[1] != '-') {
        sniff_at_line_start_ = false;
        return true;
    }
    if (line_end == nullptr)
        return false;
    size_t end = static_cast<size_t>(line_end - window_);
    while (end > 2 && is_blank(window_[end - 1]))
        --end;
    if (!set_boundary(window_ + 2, end - 2, false)) {
        state_ = State::failed;
        return false;
    }
    consume(static_cast<size_t>(line_end - window_) + 2);
    begin_headers();
    return true;
}

void Reader::begin_headers()
{
    part_has_filename_ = false;
    part_without_file_ = false;
    state_ = State::headers;
}

bool Reader::read_header_line()
{
    const char *line_end = find(window_, length_, "\r\n", 2);
    if (line_end == nullptr)
        return false;
    size_t size = static_cast<size_t>(line_end - window_);
    if (size == 0) {
        begin_body();
        return true;
    }
    read_header(size);
    consume(size + 2);
    return true;
}

/* Only Content-Disposition matters: a filename parameter marks the part that holds the file. */
void Reader::read_header(size_t size)
{
    const char *colon = static_cast<const char *>(memchr(window_, ':', size));
    if (colon == nullptr)
        return;
    size_t name_size = static_cast<size_t>(colon - window_);
    while (name_size > 0 && is_blank(window_[name_size - 1]))
        --name_size;
    if (!same_name(window_, name_size, "content-disposition"))
        return;
    const char *at = colon + 1;
    Parameter parameter;
    while (next_parameter(at, window_ + size, parameter)) {
        if (!same_name(parameter.name, parameter.name_size, "filename") &&
            !same_name(parameter.name, parameter.name_size, "filename*"))
            continue;
        /* Browsers send filename="" for a file input left empty: storing that part would wipe
         * the list the user meant to keep. */
        if (parameter.value_size == 0)
            part_without_file_ = true;
        else
            part_has_filename_ = true;
    }
}

/* The blank line's CR LF stays in the window: when the delimiter follows at once, that CR LF
 * is the delimiter's own and the part has no content. */
void Reader::begin_body()
{
    part_goes_out_ = false;
    if (chosen_ == Chosen::none && (part_has_filename_ || !part_without_file_)) {
        chosen_ = part_has_filename_ ? Chosen::file : Chosen::plain;
        part_goes_out_ = true;
    } else if (chosen_ == Chosen::plain && part_has_filename_) {
        sink_.restart();
        chosen_ = Chosen::file;
        part_goes_out_ = true;
    }
    skip_ = 2;
    state_ = State::body;
}

bool Reader::read_body()
{
    const char *match = find(window_, length_, delimiter_, delimiter_size_);
    if (match == nullptr) {
        /* The window's last bytes may begin a delimiter that the next piece completes. */
        size_t keep = length_ < delimiter_size_ ? length_ : delimiter_size_ - 1;
        emit_and_consume(length_ - keep);
        return false;
    }
    emit_and_consume(static_cast<size_t>(match - window_));
    size_t end = 0;
    switch (delimiter_tail(end)) {
    case Tail::more:
        return false;
    case Tail::close:
        state_ = State::done;
        return false;
    case Tail::open:
        consume(end);
        skip_ = 0;
        begin_headers();
        return true;
    case Tail::none:
        emit_and_consume(1);
        return true;
    }
    return false;
}

/* What follows a boundary at the window's start: "--" closes the body; blanks (transport
 * padding) and CR LF open a part; anything else makes it content that only looked alike. */
Reader::Tail Reader::delimiter_tail(size_t &end) const
{
    size_t at = delimiter_size_;
    if (at < length_ && window_[at] == '-') {
        if (at + 1 >= length_)
            return Tail::more;
        return window_[at + 1] == '-' ? Tail::close : Tail::none;
    }
    while (at < length_ && is_blank(window_[at]))
        ++at;
    if (at >= length_)
        return Tail::more;
    if (window_[at] != '\r')
        return Tail::none;
    if (at + 1 >= length_)
        return Tail::more;
    if (window_[at + 1] != '\n')
        return Tail::none;
    end = at + 2;
    return Tail::open;
}

void Reader::emit_and_consume(size_t count)
{
    if (count > skip_ && part_goes_out_)
        sink_.write(window_ + skip_, count - skip_);
    skip_ = count >= skip_ ? 0 : skip_ - count;
    consume(count);
}

void Reader::consume(size_t count)
{
    memmove(window_, window_ + count, length_ - count);
    length_ -= count;
}

} // namespace multipart
