/* The settings protocol of the remote-access services (two tunnels and the dynamic-DNS client):
 * one request disables the service, sets new settings, or reports the stored ones. Each program
 * describes its record; the protocol is the same for all. */
#ifndef SERVICE_SERVICE_H
#define SERVICE_SERVICE_H

#include <cstddef>

#include <json-c/json.h>

#include "sharememory.h"

namespace service {

/* A text field of the record and the key that carries it in requests and answers. */
struct Text {
    const char *key;
    size_t offset;
    size_t size;
    size_t answer_cut; /* a query answers at most this many characters */
};

/* A region field: two letters and a NUL in the record, a number 1 to 7 on the wire. */
struct Region {
    const char *key;
    size_t offset;
};

struct Description {
    CONFIG_ENTRY entry;
    OPERATE_ENTRY operation;
    size_t record_size;
    size_t enable_offset;
    const Text *texts; /* "RN" first; the set and the query both go in this order */
    size_t text_count;
    const Region *region; /* null for a service without one */
};

/* Room for the largest service record. */
constexpr size_t max_record = 256;

template <typename Record, size_t text_count>
constexpr Description describe(CONFIG_ENTRY entry, OPERATE_ENTRY operation,
                               const Text (&texts)[text_count], const Region *region = nullptr)
{
    static_assert(sizeof(Record) <= max_record, "the working copy must hold the record");
    return {entry, operation, sizeof(Record), offsetof(Record, enable), texts, text_count, region};
}

/* The whole work of a service endpoint, for cgi::serve. */
void work(const Description &service, json_object *request, json_object *answer);

} // namespace service

#endif
