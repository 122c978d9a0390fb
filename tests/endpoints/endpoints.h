// What the endpoint tests share: filling record fields byte for byte, and reading the mailbox.
#ifndef TESTS_ENDPOINTS_H
#define TESTS_ENDPOINTS_H

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "harness.h"

namespace endpoints {

using namespace std::string_literals;
using Operations = std::vector<std::pair<int, std::string>>;

// The field holds exactly these bytes (NULs inside included), then zero bytes.
template <size_t size> void put(uint8_t (&field)[size], const std::string &bytes)
{
    if (bytes.size() > size)
        throw std::length_error("the bytes do not fit the field");
    memset(field, 0, size);
    memcpy(field, bytes.data(), bytes.size());
}

inline std::string repeat(const std::string &piece, size_t count)
{
    std::string text;
    while (text.size() < count)
        text += piece;
    return text.substr(0, count);
}

// The mailbox as (entry, state).
inline std::pair<int, int> mailbox()
{
    const Operate &op = harness::monitor().op;
    return {op.OperateEntry, op.OperateState};
}

inline void seed_mailbox(OPERATE_ENTRY entry, OPERATE_STATE state)
{
    harness::monitor().op.OperateEntry = static_cast<uint8_t>(entry);
    harness::monitor().op.OperateState = static_cast<int8_t>(state);
}

} // namespace endpoints

#endif
