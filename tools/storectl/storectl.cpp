// storectl: the record inspector for integrators. Shows, sets and watches the fields of the
// three shared records by their member names, posts operations into the mailbox and lays the
// records out. It attaches and locks exactly as the programs do; it is no CGI program and is
// installed where the web server cannot reach it.
#include <cctype>
#include <cerrno>
#include <cfloat>
#include <cinttypes>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <strings.h>
#include <vector>

#include "fields.h"
#include "request.h"
#include "sharememory.h"

namespace {

using storectl::Fault;
using storectl::Kind;
using storectl::Member;
using storectl::Place;
using storectl::Type;
using storectl::type_of;

// Exit statuses besides 0.
constexpr int status_store = 1;   // the records could not be attached, or a lock was lost
constexpr int status_refused = 2; // usage, path or value refused; nothing was written
constexpr int status_gave_up = 3; // the mailbox stayed busy past the store's bound
constexpr int status_failed = 4;  // the receiver daemon answered the operation with OP_FAILED

constexpr long watch_interval_ms = 200;

const char help_text[] = R"(storectl: the receiver's shared records, by the names of their members.

  storectl show RECORD [PATH]           print a record, a sub-record or a field as JSON
      storectl show config TUNNEX
      storectl show monitor OperateEntry
  storectl set RECORD PATH=VALUE...     write fields, all in one hold of the record's lock
      storectl set config TUNNEX.domain=base.example.net TUNNEX.enable=1
      storectl set monitor UpgradeProgress=42.5
  storectl post OPERATION [--wait]      post an operation into the mailbox and print the mailbox
      storectl post ENTRY_TUNNEX_OP --wait
      storectl post 64
  storectl watch RECORD [PATH]          print one JSON line per changed field until Ctrl-C
      storectl watch monitor op
  storectl layout RECORD [PATH]         print every member's path, offset, size and type
      storectl layout config TUNNEX
  storectl --help                       this text

RECORD is config, monitor or gnss.

PATH names members of the record types as declared, joined by dots, with [i] for an array
element: TUNNEX.domain, RecConf[1].RecFolderName, SourceTable[3], op.OperateEntry. A path may
also begin with a member name that occurs once in the whole record, at any depth: OperateEntry
is op.OperateEntry, msg_header.lat in gnss is K418.msg_header.lat. `storectl layout RECORD`
lists every path.

Values in JSON: numbers as numbers (a float or double that is not finite as "NaN", "Infinity"
or "-Infinity"); texts as strings, cut at their first NUL, with every byte that is not UTF-8
shown as U+FFFD; byte arrays that hold no text (BT.addr, reserved, the binary messages
K418B, BESTPOSB, TIMEB, PSRDOPB) as lower-case hex; arrays as arrays; records as objects.
In layout, "char[n]" is a text and "uint8_t[n]" a byte array, whatever the declared element.

VALUE is a decimal number for a number field (in the range of its type), a text for a text
field (stored with a NUL after it, the rest of the field kept, so at most n-1 bytes), or
exactly 2n hex digits for a byte array. set writes only the named bytes and posts nothing:
announce a configuration change with post. When any assignment is refused, none is written.

post takes an OPERATE_ENTRY name (any case) or a number from 0 to 255, and posts it the way
the programs do: it waits, within the store's bound, while another operation is in the
mailbox. --wait then waits, within the same bound, for the receiver daemon to finish it.
It prints the mailbox: { "OperateEntry", "OperateState", "operation", "state" }.

watch reads the record (or PATH's part of it) once every 200 ms and prints
{ "t": seconds since 1970, "path", "old", "new" } for every field that changed, array
elements one by one; a change undone before the next read is not seen. SIGINT or SIGTERM
ends it.

Exit status: 0 done; 1 the records could not be attached or a lock was lost (the message
names the record); 2 usage, path or value refused, nothing written; 3 the mailbox stayed busy,
or the operation was not finished, within the store's bound; 4 the daemon answered OP_FAILED.
)";

void usage_hint()
{
    fputs("usage: storectl show|set|post|watch|layout ... (storectl --help tells more)\n", stderr);
}

struct Record {
    const char *name;
    SHARE_RECORD share;
    const Type *type;
};

// In SHARE_RECORD order.
const Record records[] = {
    {"config", SHARE_CONFIG, &type_of<ReceiverConfig>},
    {"monitor", SHARE_MONITOR, &type_of<ReceiverMonitor>},
    {"gnss", SHARE_GNSS, &type_of<GNSSInfo>},
};

const Record *record_named(const char *name)
{
    for (const Record &record : records)
        if (strcmp(record.name, name) == 0)
            return &record;
    fprintf(stderr, "storectl: no record named \"%s\": config, monitor or gnss\n", name);
    return nullptr;
}

// The shape of a type as C declares it, except that texts are char whatever their element.
std::string type_name(const Type &type)
{
    std::string dimensions;
    const Type *inner = &type;
    for (; inner->kind == Kind::array; inner = inner->element)
        dimensions += "[" + std::to_string(inner->count) + "]";
    if (inner->kind == Kind::text)
        return "char" + dimensions + "[" + std::to_string(inner->size) + "]";
    if (inner->kind == Kind::bytes)
        return "uint8_t" + dimensions + "[" + std::to_string(inner->size) + "]";
    return inner->name + dimensions;
}

// A field found by its path: where it lies in its record and what it holds.
struct Field {
    std::string path;
    uint32_t offset;
    const Type *type;
};

// Every member at every depth, and every element of an array of records, in record order.
template <typename Visit>
void walk_members(const Type &type, uint32_t offset, std::string &path, Visit &visit)
{
    if (!path.empty())
        visit(path, offset, type);
    const size_t length = path.size();
    if (type.kind == Kind::record) {
        for (uint32_t i = 0; i < type.member_count; ++i) {
            const Member &item = type.members[i];
            path += (length == 0 ? "" : ".") + std::string(item.name);
            walk_members(*item.type, offset + item.offset, path, visit);
            path.resize(length);
        }
    } else if (type.kind == Kind::array && type.element->kind == Kind::record) {
        for (uint32_t i = 0; i < type.count; ++i) {
            path += "[" + std::to_string(i) + "]";
            walk_members(*type.element, offset + i * type.element->size, path, visit);
            path.resize(length);
        }
    }
}

// Every value a change is reported for: numbers, texts, byte arrays, each array element.
template <typename Visit>
void walk_values(const Type &type, uint32_t offset, std::string &path, Visit &visit)
{
    const size_t length = path.size();
    if (type.kind == Kind::record) {
        for (uint32_t i = 0; i < type.member_count; ++i) {
            const Member &item = type.members[i];
            path += (length == 0 ? "" : ".") + std::string(item.name);
            walk_values(*item.type, offset + item.offset, path, visit);
            path.resize(length);
        }
    } else if (type.kind == Kind::array) {
        for (uint32_t i = 0; i < type.count; ++i) {
            path += "[" + std::to_string(i) + "]";
            walk_values(*type.element, offset + i * type.element->size, path, visit);
            path.resize(length);
        }
    } else {
        visit(path, offset, type);
    }
}

// The paths whose last member is called name: where a path's first name is no top-level
// member, it may be the name of one member anywhere.
std::vector<std::string> paths_ending_in(const Record &record, std::string_view name)
{
    std::vector<std::string> found;
    std::string path;
    auto visit = [&](const std::string &candidate, uint32_t, const Type &) {
        const size_t dot = candidate.rfind('.');
        if (dot != std::string::npos && std::string_view(candidate).substr(dot + 1) == name)
            found.push_back(candidate);
    };
    walk_members(*record.type, 0, path, visit);
    return found;
}

void explain(const Record &record, const std::string &path, const Place &place)
{
    const std::string known = path.substr(0, place.consumed);
    const std::string where = known.empty() ? std::string(record.name) : known;
    const Type &type = *place.type;
    switch (place.fault) {
    case Fault::syntax:
        fprintf(stderr,
                "storectl: %s: bad path \"%s\": a member name or [index] must follow \"%s\"\n",
                record.name, path.c_str(), known.c_str());
        break;
    case Fault::no_member: {
        const size_t start = place.consumed + (known.empty() ? 0 : 1);
        const std::string name = path.substr(start, path.find_first_of(".[", start) - start);
        if (known.empty()) {
            fprintf(stderr,
                    "storectl: %s: unknown path \"%s\": no member at any depth is called "
                    "\"%s\" (storectl layout %s lists every path)\n",
                    record.name, path.c_str(), name.c_str(), record.name);
            break;
        }
        std::string members;
        for (uint32_t i = 0; i < type.member_count; ++i)
            members += (i == 0 ? "" : ", ") + std::string(type.members[i].name);
        fprintf(stderr,
                "storectl: %s: unknown path \"%s\": %s has no member \"%s\" (members: %s)\n",
                record.name, path.c_str(), where.c_str(), name.c_str(), members.c_str());
        break;
    }
    case Fault::not_a_record:
        fprintf(stderr, "storectl: %s: unknown path \"%s\": %s is a %s and has no members\n",
                record.name, path.c_str(), where.c_str(), type_name(type).c_str());
        break;
    case Fault::not_an_array:
        fprintf(stderr, "storectl: %s: unknown path \"%s\": %s is a %s, not an array\n",
                record.name, path.c_str(), where.c_str(), type_name(type).c_str());
        break;
    case Fault::index_range:
        fprintf(stderr, "storectl: %s: unknown path \"%s\": the index of %s runs from 0 to %u\n",
                record.name, path.c_str(), where.c_str(), type.count - 1);
        break;
    case Fault::none:
        break;
    }
}

// The field at path, or false after a message naming the path and what it lacks.
bool find_field(const Record &record, const std::string &path, Field &field)
{
    Place place = storectl::resolve(*record.type, path);
    std::string full = path;
    if (place.fault == Fault::no_member && place.consumed == 0) {
        const std::string_view name = std::string_view(path).substr(0, path.find_first_of(".["));
        const std::vector<std::string> found = paths_ending_in(record, name);
        if (found.size() > 1) {
            std::string some;
            for (size_t i = 0; i < found.size() && i < 4; ++i)
                some += (i == 0 ? "" : ", ") + found[i];
            fprintf(stderr,
                    "storectl: %s: path \"%s\" is ambiguous: %zu members are called %s (%s%s)\n",
                    record.name, path.c_str(), found.size(), std::string(name).c_str(),
                    some.c_str(), found.size() > 4 ? ", ..." : "");
            return false;
        }
        if (found.size() == 1) {
            full = found[0] + path.substr(name.size());
            place = storectl::resolve(*record.type, full);
        }
    }
    if (place.fault != Fault::none) {
        explain(record, full, place);
        return false;
    }
    field = Field{full, place.offset, place.type};
    return true;
}

template <typename Value> Value load(const uint8_t *at)
{
    Value value;
    memcpy(&value, at, sizeof value);
    return value;
}

int64_t load_integer(const Type &type, const uint8_t *at)
{
    const bool is_signed = type.kind == Kind::signed_int;
    switch (type.size) {
    case 1:
        return is_signed ? load<int8_t>(at) : load<uint8_t>(at);
    case 2:
        return is_signed ? load<int16_t>(at) : load<uint16_t>(at);
    default:
        return is_signed ? load<int32_t>(at) : load<uint32_t>(at);
    }
}

// The shortest decimal that reads back as the same value, so a float 0.1 shows as 0.1.
json_object *real_json(const Type &type, const uint8_t *at)
{
    const bool single = type.size == sizeof(float);
    const double value = single ? load<float>(at) : load<double>(at);
    if (std::isnan(value))
        return json_object_new_string("NaN");
    if (std::isinf(value))
        return json_object_new_string(value > 0 ? "Infinity" : "-Infinity");
    char text[48];
    for (int digits = 1; digits <= 17; ++digits) {
        snprintf(text, sizeof text, "%.*g", digits, value);
        const bool same = single ? strtof(text, nullptr) == static_cast<float>(value)
                                 : strtod(text, nullptr) == value;
        if (same)
            break;
    }
    return json_object_new_double_s(value, text);
}

// Each byte that does not begin a well-formed UTF-8 sequence, and each broken sequence up to
// the byte that breaks it, becomes one U+FFFD (the decoder rule of the web platform).
std::string text_of(const uint8_t *bytes, size_t size)
{
    static const char replacement[] = "\xEF\xBF\xBD";
    std::string text;
    size_t i = 0;
    while (i < size) {
        const uint8_t lead = bytes[i];
        size_t follow = 0;
        uint8_t low = 0x80, high = 0xBF;
        if (lead < 0x80) {
            text += static_cast<char>(lead);
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            follow = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            follow = 2;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            follow = 3;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            text += replacement;
            ++i;
            continue;
        }
        size_t taken = 1;
        while (taken <= follow && i + taken < size && bytes[i + taken] >= low &&
               bytes[i + taken] <= high) {
            low = 0x80;
            high = 0xBF;
            ++taken;
        }
        if (taken > follow)
            text.append(reinterpret_cast<const char *>(bytes + i), taken);
        else
            text += replacement;
        i += taken;
    }
    return text;
}

std::string hex_of(const uint8_t *bytes, size_t size)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

json_object *value_json(const Type &type, const uint8_t *at)
{
    switch (type.kind) {
    case Kind::unsigned_int:
    case Kind::signed_int:
        return json_object_new_int64(load_integer(type, at));
    case Kind::real:
        return real_json(type, at);
    case Kind::text: {
        const size_t length = strnlen(reinterpret_cast<const char *>(at), type.size);
        const std::string text = text_of(at, length);
        return json_object_new_string_len(text.data(), static_cast<int>(text.size()));
    }
    case Kind::bytes:
        return json_object_new_string(hex_of(at, type.size).c_str());
    case Kind::array: {
        json_object *array = json_object_new_array_ext(static_cast<int>(type.count));
        for (uint32_t i = 0; i < type.count; ++i)
            json_object_array_add(array, value_json(*type.element, at + i * type.element->size));
        return array;
    }
    case Kind::record: {
        json_object *object = json_object_new_object();
        for (uint32_t i = 0; i < type.member_count; ++i) {
            const Member &item = type.members[i];
            json_object_object_add(object, item.name, value_json(*item.type, at + item.offset));
        }
        return object;
    }
    }
    return json_object_new_null();
}

void print_json(json_object *value, int flags)
{
    printf("%s\n", json_object_to_json_string_ext(value, flags | JSON_C_TO_STRING_NOSLASHESCAPE));
    fflush(stdout);
}

int lost_lock(const Record &record)
{
    fprintf(stderr, "storectl: lost the lock of the %s record\n", record.name);
    return status_store;
}

// One copy of a field's bytes, taken in one hold of the record's lock.
bool copy_field(const Record &record, const Field &field, std::vector<uint8_t> &copy)
{
    const auto *base = static_cast<const uint8_t *>(LockShareRecord(record.share));
    if (base == nullptr)
        return false;
    copy.assign(base + field.offset, base + field.offset + field.type->size);
    return UnlockShareRecord(record.share) == 0;
}

Field whole(const Record &record)
{
    return Field{"", 0, record.type};
}

int show(const Record &record, const char *path)
{
    Field field = whole(record);
    if (path != nullptr && !find_field(record, path, field))
        return status_refused;
    InitShareMemory();
    std::vector<uint8_t> copy;
    if (!copy_field(record, field, copy))
        return lost_lock(record);
    cgi::Json value(value_json(*field.type, copy.data()));
    print_json(value.get(), JSON_C_TO_STRING_PRETTY | JSON_C_TO_STRING_SPACED);
    return 0;
}

int layout(const Record &record, const char *path)
{
    Field field = whole(record);
    if (path != nullptr && !find_field(record, path, field))
        return status_refused;
    // One member per line, so the table greps well and still reads as one JSON array.
    const char *separator = "[\n";
    auto visit = [&](const std::string &name, uint32_t offset, const Type &type) {
        cgi::Json row(json_object_new_object());
        json_object_object_add(row.get(), "path", json_object_new_string(name.c_str()));
        json_object_object_add(row.get(), "offset", json_object_new_int64(offset));
        json_object_object_add(row.get(), "size", json_object_new_int64(type.size));
        json_object_object_add(row.get(), "type", json_object_new_string(type_name(type).c_str()));
        printf("%s%s", separator,
               json_object_to_json_string_ext(row.get(), JSON_C_TO_STRING_SPACED));
        separator = ",\n";
    };
    std::string start = field.path;
    walk_members(*field.type, field.offset, start, visit);
    printf("%s]\n", separator[0] == '[' ? "[" : "\n");
    return 0;
}

struct Write {
    uint32_t offset;
    std::string bytes;
};

bool refuse_value(const Record &record, const Field &field, const std::string &value,
                  const char *limit)
{
    fprintf(stderr, "storectl: %s: %s: \"%s\" refused: %s\n", record.name, field.path.c_str(),
            value.c_str(), limit);
    return false;
}

template <typename Value> std::string bytes_of(Value value)
{
    return std::string(reinterpret_cast<const char *>(&value), sizeof value);
}

bool integer_bytes(const Record &record, const Field &field, const std::string &value,
                   std::string &bytes)
{
    const Type &type = *field.type;
    const bool is_signed = type.kind == Kind::signed_int;
    const int bits = static_cast<int>(type.size) * 8;
    const long long lowest = is_signed ? -(1LL << (bits - 1)) : 0;
    const long long highest = is_signed ? (1LL << (bits - 1)) - 1 : (1LL << bits) - 1;
    const std::string limit = type_name(type) + " takes a decimal number from " +
                              std::to_string(lowest) + " to " + std::to_string(highest);
    const char *text = value.c_str();
    char *end = nullptr;
    errno = 0;
    const long long number = strtoll(text, &end, 10);
    const bool well_formed =
        (text[0] == '-' || (text[0] >= '0' && text[0] <= '9')) && *end == '\0' && errno == 0;
    if (!well_formed || number < lowest || number > highest)
        return refuse_value(record, field, value, limit.c_str());
    switch (type.size) {
    case 1:
        bytes = bytes_of(static_cast<uint8_t>(number));
        break;
    case 2:
        bytes = bytes_of(static_cast<uint16_t>(number));
        break;
    default:
        bytes = bytes_of(static_cast<uint32_t>(number));
        break;
    }
    return true;
}

bool real_bytes(const Record &record, const Field &field, const std::string &value,
                std::string &bytes)
{
    const bool single = field.type->size == sizeof(float);
    const std::string limit = type_name(*field.type) + " takes a finite number of at most " +
                              (single ? "3.4e38" : "1.8e308") + " in size";
    const char *text = value.c_str();
    char *end = nullptr;
    errno = 0;
    const double number = strtod(text, &end);
    const bool well_formed = text[0] != '\0' && !isspace(static_cast<unsigned char>(text[0])) &&
                             *end == '\0' && std::isfinite(number) && errno != ERANGE;
    if (!well_formed || (single && std::fabs(number) > FLT_MAX))
        return refuse_value(record, field, value, limit.c_str());
    bytes = single ? bytes_of(static_cast<float>(number)) : bytes_of(number);
    return true;
}

// As the programs store a text: its bytes and a NUL, the rest of the field left as it is.
bool text_bytes(const Record &record, const Field &field, const std::string &value,
                std::string &bytes)
{
    const size_t most = field.type->size - 1;
    if (value.size() > most) {
        const std::string limit = "a text of " + std::to_string(value.size()) + " bytes; " +
                                  type_name(*field.type) + " holds at most " +
                                  std::to_string(most) + " and its NUL";
        return refuse_value(record, field, value, limit.c_str());
    }
    bytes = value;
    bytes += '\0';
    return true;
}

bool hex_bytes(const Record &record, const Field &field, const std::string &value,
               std::string &bytes)
{
    const size_t size = field.type->size;
    const std::string limit =
        type_name(*field.type) + " takes exactly " + std::to_string(2 * size) + " hex digits";
    const bool all_hex = value.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
    if (value.size() != 2 * size || !all_hex)
        return refuse_value(record, field, value, limit.c_str());
    bytes.clear();
    for (size_t i = 0; i < size; ++i)
        bytes += static_cast<char>(strtoul(value.substr(2 * i, 2).c_str(), nullptr, 16));
    return true;
}

bool parse_assignment(const Record &record, const std::string &assignment, Write &write)
{
    const size_t equals = assignment.find('=');
    if (equals == std::string::npos) {
        fprintf(stderr, "storectl: \"%s\" is no PATH=VALUE assignment\n", assignment.c_str());
        return false;
    }
    Field field;
    if (!find_field(record, assignment.substr(0, equals), field))
        return false;
    const std::string value = assignment.substr(equals + 1);
    write.offset = field.offset;
    switch (field.type->kind) {
    case Kind::unsigned_int:
    case Kind::signed_int:
        return integer_bytes(record, field, value, write.bytes);
    case Kind::real:
        return real_bytes(record, field, value, write.bytes);
    case Kind::text:
        return text_bytes(record, field, value, write.bytes);
    case Kind::bytes:
        return hex_bytes(record, field, value, write.bytes);
    case Kind::array:
    case Kind::record:
        break;
    }
    fprintf(stderr, "storectl: %s: %s is a %s: set its fields one by one\n", record.name,
            field.path.c_str(), type_name(*field.type).c_str());
    return false;
}

int set(const Record &record, int count, char **assignments)
{
    if (count == 0) {
        usage_hint();
        return status_refused;
    }
    std::vector<Write> writes(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        if (!parse_assignment(record, assignments[i], writes[static_cast<size_t>(i)]))
            return status_refused;
    InitShareMemory();
    auto *base = static_cast<uint8_t *>(LockShareRecord(record.share));
    if (base == nullptr)
        return lost_lock(record);
    for (const Write &write : writes)
        memcpy(base + write.offset, write.bytes.data(), write.bytes.size());
    if (UnlockShareRecord(record.share) != 0)
        return lost_lock(record);
    return 0;
}

#define NAMED(value) \
    { \
#value, value \
    }

struct Operation {
    const char *name;
    int value;
};

const Operation operations[] = {
    NAMED(ENTRY_NULL_OP),
    NAMED(ENTRY_IP_OP),
    NAMED(ENTRY_NETMASK_OP),
    NAMED(ENTRY_GATEWAY_OP),
    NAMED(ENTRY_DNS1_OP),
    NAMED(ENTRY_DNS2_OP),
    NAMED(ENTRY_HPORT_OP),
    NAMED(ENTRY_FPORT_OP),
    NAMED(ENTRY_DN_OP),
    NAMED(ENTRY_DHCP_OP),
    NAMED(ENTRY_SID_OP),
    NAMED(ENTRY_WMODE_OP),
    NAMED(ENTRY_PPS_OP),
    NAMED(ENTRY_EVENT_OP),
    NAMED(ENTRY_MANGLE_OP),
    NAMED(ENTRY_MOOTH_OP),
    NAMED(ENTRY_GPSE_OP),
    NAMED(ENTRY_BDE_OP),
    NAMED(ENTRY_GLOE_OP),
    NAMED(ENTRY_GALE_OP),
    NAMED(ENTRY_QZSS_OP),
    NAMED(ENTRY_CALL_OP),
    NAMED(ENTRY_SPOS_OP),
    NAMED(ENTRY_RHI_OP),
    NAMED(ENTRY_ANT_OP),
    NAMED(ENTRY_REC1_OP),
    NAMED(ENTRY_REC2_OP),
    NAMED(ENTRY_SP1_OP),
    NAMED(ENTRY_SP2_OP),
    NAMED(ENTRY_TCP1_OP),
    NAMED(ENTRY_TCP2_OP),
    NAMED(ENTRY_FTP1_OP),
    NAMED(ENTRY_FTP2_OP),
    NAMED(ENTRY_MALARM_OP),
    NAMED(ENTRY_STATION_OP),
    NAMED(ENTRY_FORMAT_OP),
    NAMED(ENTRY_CLEANEPH_OP),
    NAMED(ENTRY_RESTORE_OP),
    NAMED(ENTRY_RESTART_OP),
    NAMED(ENTRY_SHUTDOWN_OP),
    NAMED(ENTRY_REC1_STATE_OP),
    NAMED(ENTRY_REC2_STATE_OP),
    NAMED(ENTRY_GPOS_OP),
    NAMED(ENTRY_GNST_OP),
    NAMED(ENTRY_UPDATEF_OP),
    NAMED(ENTRY_UPDATEP_OP),
    NAMED(ENTRY_UPDATEG_OP),
    NAMED(ENTRY_CONFIG_OP),
    NAMED(ENTRY_OP_TYPE),
    NAMED(ENTRY_OP_STATE),
    NAMED(ENTRY_OP_SUCCESS),
    NAMED(ENTRY_OP_FAILED),
    NAMED(ENTRY_WLAN_OP),
    NAMED(ENTRY_DELFILE_OP),
    NAMED(ENTRY_UPDATEW_OP),
    NAMED(ENTRY_RADIO_OP),
    NAMED(ENTRY_RESTORE_LIGHTTPD_OP),
    NAMED(ENTRY_NS_OP),
    NAMED(ENTRY_NC_OP),
    NAMED(ENTRY_RADIO_PARA_OP),
    NAMED(ENTRY_BT_OP),
    NAMED(ENTRY_DDNS_OP),
    NAMED(ENTRY_PORTVIA_OP),
    NAMED(ENTRY_TUNNEX_OP),
    NAMED(ENTRY_INS_OP),
    NAMED(ENTRY_CLOUD1_OP),
    NAMED(ENTRY_CLOUD2_OP),
    NAMED(ENTRY_NCASTER_OP),
    NAMED(ENTRY_JT808_OP),
    NAMED(ENTRY_JT808_AUTHCODE_OP),
    NAMED(ENTRY_NS1_OP),
    NAMED(ENTRY_NS2_OP),
};

const Operation states[] = {
    NAMED(OP_FAILED), NAMED(OP_COMPLETE), NAMED(OP_ENABLE), NAMED(OP_EXE), NAMED(OP_SUCCESS),
};

#undef NAMED

template <size_t count> json_object *name_json(const Operation (&table)[count], int value)
{
    for (const Operation &item : table)
        if (item.value == value)
            return json_object_new_string(item.name);
    return nullptr;
}

bool operation_named(const char *text, int &value)
{
    for (const Operation &item : operations) {
        if (strcasecmp(item.name, text) == 0) {
            value = item.value;
            return true;
        }
    }
    char *end = nullptr;
    errno = 0;
    const long number = strtol(text, &end, 10);
    if (text[0] >= '0' && text[0] <= '9' && *end == '\0' && errno == 0 && number <= UINT8_MAX) {
        value = static_cast<int>(number);
        return true;
    }
    fprintf(stderr,
            "storectl: no operation \"%s\": an OPERATE_ENTRY name such as ENTRY_TUNNEX_OP, "
            "or a number from 0 to 255\n",
            text);
    return false;
}

long long monotonic_ms()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

// The mailbox as post reports it, read in one hold; false when its lock was lost.
bool print_mailbox(Operate &mailbox)
{
    if (GetMonitorOperate(&mailbox) != 0)
        return false;
    cgi::Json out(json_object_new_object());
    json_object_object_add(out.get(), "OperateEntry", json_object_new_int(mailbox.OperateEntry));
    json_object_object_add(out.get(), "OperateState", json_object_new_int(mailbox.OperateState));
    json_object_object_add(out.get(), "operation", name_json(operations, mailbox.OperateEntry));
    json_object_object_add(out.get(), "state", name_json(states, mailbox.OperateState));
    print_json(out.get(), JSON_C_TO_STRING_SPACED);
    return true;
}

int post(int count, char **words)
{
    const char *name = nullptr;
    bool wait = false;
    for (int i = 0; i < count; ++i) {
        if (strcmp(words[i], "--wait") == 0)
            wait = true;
        else if (name == nullptr)
            name = words[i];
        else
            name = "";
    }
    int operation = 0;
    if (name == nullptr || name[0] == '\0') {
        usage_hint();
        return status_refused;
    }
    if (!operation_named(name, operation))
        return status_refused;

    const Record &monitor = records[SHARE_MONITOR];
    InitShareMemory();
    const unsigned lost = ShareMemoryLocksLost();
    const long long start_ms = monotonic_ms();
    Operate mailbox{};
    if (PostMonitorOperate(static_cast<OPERATE_ENTRY>(operation)) != 0) {
        if (ShareMemoryLocksLost() != lost || !print_mailbox(mailbox))
            return lost_lock(monitor);
        fprintf(stderr, "storectl: the mailbox stayed busy for %lld ms; nothing was posted\n",
                monotonic_ms() - start_ms);
        return status_gave_up;
    }
    const long long posted_ms = monotonic_ms();
    const bool finished = !wait || WaitMonitorOperateIdle() == 0;
    if (ShareMemoryLocksLost() != lost)
        return lost_lock(monitor);
    if (!print_mailbox(mailbox))
        return lost_lock(monitor);
    if (!finished) {
        fprintf(stderr, "storectl: posted, but the receiver daemon did not finish within %lld ms\n",
                monotonic_ms() - posted_ms);
        return status_gave_up;
    }
    if (!wait)
        return 0;
    if (mailbox.OperateState == OP_FAILED) {
        fprintf(stderr, "storectl: the receiver daemon answered OP_FAILED\n");
        return status_failed;
    }
    if (mailbox.OperateState == OP_EXE) {
        fprintf(stderr, "storectl: the operation finished, but another was posted before its "
                        "outcome could be read\n");
        return status_gave_up;
    }
    return 0;
}

volatile sig_atomic_t stopping = 0;

void on_stop(int)
{
    stopping = 1;
}

// Without SA_RESTART, so the pause between two reads ends at once.
void stop_on(int signal_number)
{
    struct sigaction action = {};
    action.sa_handler = on_stop;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
}

void report_changes(const Field &field, const std::vector<uint8_t> &before,
                    const std::vector<uint8_t> &after)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    char seconds[32];
    snprintf(seconds, sizeof seconds, "%lld.%03ld", static_cast<long long>(now.tv_sec),
             now.tv_nsec / 1000000);
    std::string path = field.path;
    auto visit = [&](const std::string &name, uint32_t offset, const Type &type) {
        if (memcmp(before.data() + offset, after.data() + offset, type.size) == 0)
            return;
        cgi::Json line(json_object_new_object());
        json_object_object_add(line.get(), "t", json_object_new_double_s(atof(seconds), seconds));
        json_object_object_add(line.get(), "path", json_object_new_string(name.c_str()));
        json_object_object_add(line.get(), "old", value_json(type, before.data() + offset));
        json_object_object_add(line.get(), "new", value_json(type, after.data() + offset));
        print_json(line.get(), JSON_C_TO_STRING_SPACED);
    };
    walk_values(*field.type, 0, path, visit);
}

int watch(const Record &record, const char *path)
{
    Field field = whole(record);
    if (path != nullptr && !find_field(record, path, field))
        return status_refused;
    stop_on(SIGINT);
    stop_on(SIGTERM);
    InitShareMemory();
    std::vector<uint8_t> last, now;
    if (!copy_field(record, field, last))
        return lost_lock(record);
    while (!stopping) {
        timespec pause = {0, watch_interval_ms * 1000000L};
        nanosleep(&pause, nullptr);
        if (stopping)
            break;
        if (!copy_field(record, field, now))
            return stopping ? 0 : lost_lock(record);
        if (now != last)
            report_changes(field, last, now);
        last.swap(now);
    }
    return 0;
}

using Command = int (*)(const Record &, const char *);

struct Named {
    const char *name;
    Command command;
};

// The commands that take RECORD and at most one PATH.
const Named record_commands[] = {{"show", show}, {"watch", watch}, {"layout", layout}};

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        usage_hint();
        return status_refused;
    }
    const char *command = argv[1];
    if (strcmp(command, "--help") == 0 || strcmp(command, "-h") == 0 ||
        strcmp(command, "help") == 0) {
        fputs(help_text, stdout);
        return 0;
    }
    if (strcmp(command, "post") == 0)
        return post(argc - 2, argv + 2);
    const Record *record = argc > 2 ? record_named(argv[2]) : nullptr;
    if (strcmp(command, "set") == 0) {
        if (record == nullptr) {
            usage_hint();
            return status_refused;
        }
        return set(*record, argc - 3, argv + 3);
    }
    for (const Named &named : record_commands) {
        if (strcmp(command, named.name) != 0)
            continue;
        if (record == nullptr || argc > 4) {
            usage_hint();
            return status_refused;
        }
        return named.command(*record, argc > 3 ? argv[3] : nullptr);
    }
    fprintf(stderr, "storectl: no command \"%s\"\n", command);
    usage_hint();
    return status_refused;
}
