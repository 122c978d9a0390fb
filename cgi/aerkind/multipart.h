/* A streaming reader of multipart/form-data bodies (RFC 7578 on RFC 2046). It is fed the body
 * in pieces of any size, keeps no more than one fixed window of it, and passes the content of
 * one part on to a sink: the first part that carries a filename, else the first part. A part
 * whose filename is empty is a file input with no file chosen, and is never passed on. */
#ifndef AERKIND_MULTIPART_H
#define AERKIND_MULTIPART_H

#include <cstddef>

namespace multipart {

/* RFC 2046 limits a boundary to 70 characters. */
constexpr size_t max_boundary = 70;
/* Bytes held back at most: a header line or a delimiter with its padding must fit. */
constexpr size_t window_size = 4096;

class Sink {
public:
    virtual void write(const char *data, size_t size) = 0;
    /* What was written so far came from a part without a filename, and a part with one has
     * come to take its place. */
    virtual void restart() = 0;

protected:
    ~Sink() = default;
};

enum class Outcome {
    stored,       /* the closing delimiter was read and a part went to the sink */
    no_part,      /* the closing delimiter came before any part */
    unterminated, /* the body ended before its closing delimiter (or had no delimiter at all) */
    malformed,    /* a bad boundary, or a header line or padding beyond the window */
};

class Reader {
public:
    /* content_type is the request's CONTENT_TYPE or null. Its boundary parameter is used when
     * it has one; otherwise the body's first delimiter line names the boundary. */
    Reader(const char *content_type, Sink &sink);

    /* Returns false once the reader wants no more input: the closing delimiter has been read,
     * or the body cannot be read as multipart. */
    bool feed(const char *data, size_t size);
    /* The body has ended; what it amounted to. */
    Outcome finish();

    /* The part going to the sink has a filename, so no later part can replace it. */
    bool settled() const { return chosen_ == Chosen::file; }

private:
    enum class State { sniff, preamble, headers, body, done, failed };
    enum class Chosen { none, plain, file };
    enum class Tail { more, open, close, none };

    void process();
    bool sniff_boundary();
    void begin_headers();
    bool read_header_line();
    void read_header(size_t size);
    void begin_body();
    bool read_body();
    Tail delimiter_tail(size_t &end) const;
    bool set_boundary(const char *text, size_t size, bool quoted);
    void emit_and_consume(size_t count);
    void consume(size_t count);

    Sink &sink_;
    State state_;
    Chosen chosen_ = Chosen::none;
    bool sniff_at_line_start_ = true;
    bool part_has_filename_ = false;
    bool part_without_file_ = false;
    bool part_goes_out_ = false;
    /* Bytes at the window's start that belong to the blank line ending the part headers. */
    size_t skip_ = 0;
    size_t length_ = 0;
    size_t delimiter_size_ = 0;
    char delimiter_[4 + max_boundary] = {}; /* CR LF "--" boundary */
    char window_[window_size];
};

} // namespace multipart

#endif
