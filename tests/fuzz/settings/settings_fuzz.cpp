// The JSON handling of the programs that parse a request: the settings protocol (tunnex, ddns,
// portvia), ins, credset and stationmark. Each program's own work runs in this process against
// a store of its own, and a daemon stand-in thread takes the operations it posts.
//
// Input: the program's name, a line feed, the request body. A zero byte ends the body, as it
// does for the frame; the bytes after it are what the program's own fields hold beforehand.
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fuzz.h"
#include "programs.h"
#include "request.h"
#include "sharememory.h"

namespace {

constexpr size_t config_size = sizeof(ReceiverConfig);
using Record = std::vector<uint8_t>;

struct Span {
    size_t offset;
    size_t size;
};

// A text field of the configuration record and the key that carries it.
struct Text {
    const char *key;
    size_t offset;
    size_t size;
    bool terminated; // a stored text always ends within its field
};

// Chosen when its key is present (the query, last, has none).
struct Branch {
    const char *key;
    bool null_is_absent;
    const char *answer_keys;
    bool changes;
};

struct Run;

struct Program {
    const char *name;
    const cgi::Work *work;
    std::vector<Span> own;
    OPERATE_ENTRY operation; // ENTRY_NULL_OP: tells the daemon nothing
    std::vector<Branch> branches;
    std::vector<Text> texts;
    void (*check)(const Run &run); // what this program adds, or null
};

struct Taken {
    int operation;
    Record config;
};

// What one request did.
struct Run {
    const Program &program;
    const Branch &branch;
    json_object *request;
    json_object *answer;
    Record before, after;
    std::vector<Taken> taken;
    unsigned pauses;

    const uint8_t *was(size_t offset) const { return before.data() + offset; }
    const uint8_t *is(size_t offset) const { return after.data() + offset; }
    bool changed(size_t offset, size_t size) const
    {
        return memcmp(was(offset), is(offset), size) != 0;
    }
    bool own_changed() const
    {
        for (const Span &span : program.own)
            if (changed(span.offset, span.size))
                return true;
        return false;
    }
};

json_object *member(json_object *object, const char *key)
{
    json_object *value = nullptr;
    return json_object_object_get_ex(object, key, &value) ? value : nullptr;
}

std::string text_of(const uint8_t *field, size_t size)
{
    const char *text = reinterpret_cast<const char *>(field);
    return {text, strnlen(text, size)};
}

// A decoder of its own, so the frame's UTF-8 code is not checked against itself.
bool valid_utf8(const std::string &text)
{
    for (size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        size_t size = lead < 0x80       ? 1
                      : lead >> 5 == 6  ? 2
                      : lead >> 4 == 14 ? 3
                      : lead >> 3 == 30 ? 4
                                        : 0;
        if (size == 0 || i + size > text.size())
            return false;
        uint32_t code = size == 1 ? lead : lead & (0x7F >> size);
        for (size_t k = 1; k < size; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            if (next >> 6 != 2)
                return false;
            code = code << 6 | (next & 0x3F);
        }
        const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < least[size] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += size;
    }
    return true;
}

bool answered_failure(json_object *answer)
{
    json_object *result = member(answer, "Res");
    if (json_object_is_type(result, json_type_string))
        return strcmp(json_object_get_string(result), "failed") == 0;
    return json_object_is_type(result, json_type_int) && json_object_get_int(result) == -1;
}

// The daemon stand-in: takes each posted operation with the configuration as it found it,
// and moves the mailbox on at once.
class Daemon {
public:
    void start()
    {
        std::thread([this] { serve(); }).detach();
    }

    std::vector<Taken> taken()
    {
        std::lock_guard<std::mutex> hold(mutex_);
        return taken_;
    }

    void forget()
    {
        std::lock_guard<std::mutex> hold(mutex_);
        taken_.clear();
    }

private:
    void serve()
    {
        const timespec pause = {0, 20000};
        for (;;) {
            Operate op = {};
            if (GetMonitorOperate(&op) == 0 && op.OperateState == OP_EXE) {
                Taken taken = {op.OperateEntry, Record(config_size)};
                if (void *config = LockShareRecord(SHARE_CONFIG)) {
                    memcpy(taken.config.data(), config, config_size);
                    UnlockShareRecord(SHARE_CONFIG);
                }
                {
                    std::lock_guard<std::mutex> hold(mutex_);
                    taken_.push_back(std::move(taken));
                }
                SetMonitorOperateState(OP_SUCCESS);
            }
            nanosleep(&pause, nullptr);
        }
    }

    std::mutex mutex_;
    std::vector<Taken> taken_;
};

Daemon daemon_stand_in;

// ---- what each program adds to the common checks

void check_service(const Run &run, size_t enable_at)
{
    const uint8_t stored = *run.is(enable_at);
    json_object *state = member(run.answer, "State");
    fuzz::require(json_object_get_int(state) == stored, "\"State\" answers the stored switch");
    if (!run.branch.changes)
        return;
    fuzz::require(stored == (run.branch.key == std::string("key") ? 0 : 1),
                  "a disable stores 0, a set 1");
    if (run.branch.key == std::string("key"))
        for (const Text &text : run.program.texts)
            fuzz::require(!run.changed(text.offset, text.size), "a disable keeps the texts");
}

constexpr size_t tunnex_at = offsetof(ReceiverConfig, TUNNEX);
constexpr size_t ddns_at = offsetof(ReceiverConfig, DDNS);
constexpr size_t portvia_at = offsetof(ReceiverConfig, PORTVIA);
constexpr size_t ins_at = offsetof(ReceiverConfig, INS);

void check_tunnex(const Run &run)
{
    check_service(run, tunnex_at + offsetof(TUNNEXConfig, enable));
    static const char *const codes[] = {"us", "eu", "au", "ap", "jp", "sa", "in"};
    const size_t region_at = tunnex_at + offsetof(TUNNEXConfig, region);
    if (!run.branch.changes) {
        const int number = json_object_get_int(member(run.answer, "region"));
        fuzz::require(number >= 0 && number <= 7, "the region answers 0 to 7");
        return;
    }
    const int wanted = json_object_get_int(member(run.request, "region"));
    if (run.branch.key == std::string("RN") && wanted >= 1 && wanted <= 7)
        fuzz::require(memcmp(run.is(region_at), codes[wanted - 1], 3) == 0,
                      "a region 1 to 7 stores its code");
    else
        fuzz::require(!run.changed(region_at, 4), "any other region keeps the stored one");
}

void check_ddns(const Run &run)
{
    check_service(run, ddns_at + offsetof(DDNSConfig, enable));
}

void check_portvia(const Run &run)
{
    check_service(run, portvia_at + offsetof(PORTVIAConfig, enable));
}

const uint8_t mode_swap[] = {0, 2, 1, 4, 3, 8, 7, 6, 5};

void check_ins(const Run &run)
{
    INSConfig was, is;
    memcpy(&was, run.was(ins_at), sizeof was);
    memcpy(&is, run.is(ins_at), sizeof is);
    if (!run.branch.changes) {
        fuzz::require(run.pauses == 0, "a query does not pause");
        const int mode = json_object_get_int(member(run.answer, "mode"));
        fuzz::require(mode == (was.mode >= 1 && was.mode <= 8 ? mode_swap[was.mode] : 0),
                      "the query answers the stored mode in the pages' numbering");
        return;
    }
    fuzz::require(run.pauses == 1, "a change pauses once between its write and its post");
    fuzz::require(is.enable ==
                      static_cast<uint8_t>(json_object_get_int(member(run.request, "enable"))),
                  "\"enable\" is stored as its low byte");
    const int mode = json_object_get_int(member(run.request, "mode"));
    fuzz::require(is.mode == (mode >= 1 && mode <= 8 ? mode_swap[mode] : was.mode),
                  "a mode 1 to 8 is stored swapped, any other keeps the stored one");
    fuzz::require(is.axial == (is.mode != was.mode), "axial tells whether the mode changed");
    const bool kept = memcmp(&is.initSV, &was.initSV, sizeof is.initSV) == 0;
    fuzz::require(kept || (is.initSV > 0 && std::isfinite(is.initSV) &&
                           is.initSV == static_cast<float>(
                                            json_object_get_double(member(run.request, "initSV")))),
                  "initSV is kept, or the request's value as a positive finite float");
}

void check_credset(const Run &run)
{
    if (!run.branch.changes)
        return;
    const size_t pawd_at = offsetof(ReceiverConfig, pawd);
    json_object *old_pass = member(run.request, "oldPass");
    const bool matches = old_pass != nullptr && member(run.request, "newPass") != nullptr &&
                         member(run.request, "name") != nullptr &&
                         text_of(run.was(pawd_at), 16) == json_object_get_string(old_pass);
    fuzz::require(json_object_get_int(member(run.answer, "Res")) == (matches ? 0 : -1),
                  "the login changes exactly when the old password matches");
}

const std::vector<Program> programs = {
    {"tunnex",
     &settings_fuzz::tunnex,
     {{tunnex_at, sizeof(TUNNEXConfig)}},
     ENTRY_TUNNEX_OP,
     {{"key", false, "State,Res", true},
      {"RN", false, "State,Res", true},
      {nullptr, false, "RN,authtoken,region,State,Res", false}},
     {{"RN", tunnex_at + offsetof(TUNNEXConfig, domain), 33, true},
      {"authtoken", tunnex_at + offsetof(TUNNEXConfig, authtoken), 101, true}},
     check_tunnex},
    {"ddns",
     &settings_fuzz::ddns,
     {{ddns_at, sizeof(DDNSConfig)}},
     ENTRY_DDNS_OP,
     {{"key", false, "State,Res", true},
      {"RN", false, "State,Res", true},
      {nullptr, false, "RN,SP,username,password,State,Res", false}},
     {{"RN", ddns_at + offsetof(DDNSConfig, domain), 33, true},
      {"SP", ddns_at + offsetof(DDNSConfig, server_name), 33, true},
      {"username", ddns_at + offsetof(DDNSConfig, user_name), 33, true},
      {"password", ddns_at + offsetof(DDNSConfig, password), 17, true}},
     check_ddns},
    {"portvia",
     &settings_fuzz::portvia,
     {{portvia_at, sizeof(PORTVIAConfig)}},
     ENTRY_PORTVIA_OP,
     {{"key", false, "State,Res", true},
      {"RN", false, "State,Res", true},
      {nullptr, false, "RN,authtoken,State,Res", false}},
     {{"RN", portvia_at + offsetof(PORTVIAConfig, domain), 33, true},
      {"authtoken", portvia_at + offsetof(PORTVIAConfig, authtoken), 33, true}},
     check_portvia},
    {"ins",
     &settings_fuzz::ins,
     {{ins_at, sizeof(INSConfig)}},
     ENTRY_INS_OP,
     {{"enable", false, "Res", true}, {nullptr, false, "enable,mode,initSV,imuState,Res", false}},
     {},
     check_ins},
    {"credset",
     &settings_fuzz::credset,
     {{offsetof(ReceiverConfig, user), 16}, {offsetof(ReceiverConfig, pawd), 16}},
     ENTRY_NULL_OP,
     {{"name", false, "Res", true}, {nullptr, false, "name,Res", false}},
     {{"name", offsetof(ReceiverConfig, user), 16, false},
      {"newPass", offsetof(ReceiverConfig, pawd), 16, false}},
     check_credset},
    {"stationmark",
     &settings_fuzz::stationmark,
     {{offsetof(ReceiverConfig, StationID), 16}},
     ENTRY_SID_OP,
     {{"id", true, "", true}, {nullptr, false, "id", false}},
     {{"id", offsetof(ReceiverConfig, StationID), 16, false}},
     nullptr},
};

const Branch &branch_for(const Program &program, json_object *request)
{
    for (const Branch &branch : program.branches) {
        if (branch.key == nullptr)
            return branch;
        json_object *value = nullptr;
        if (json_object_object_get_ex(request, branch.key, &value) &&
            (value != nullptr || !branch.null_is_absent))
            return branch;
    }
    return program.branches.back();
}

// A fixed pattern around the program's fields, so a stray write shows; the fields themselves
// hold the input's bytes.
void lay_records(const Program &program, const std::string &stored)
{
    auto *config = static_cast<uint8_t *>(LockShareRecord(SHARE_CONFIG));
    fuzz::require(config != nullptr, "the configuration lock");
    for (size_t i = 0; i < config_size; ++i)
        config[i] = static_cast<uint8_t>(i * 131 + 7);
    size_t from = 0;
    for (const Span &span : program.own) {
        memset(config + span.offset, 0, span.size);
        if (from < stored.size())
            memcpy(config + span.offset, stored.data() + from,
                   std::min(span.size, stored.size() - from));
        from += span.size;
    }
    UnlockShareRecord(SHARE_CONFIG);

    auto *monitor = static_cast<uint8_t *>(LockShareRecord(SHARE_MONITOR));
    fuzz::require(monitor != nullptr, "the monitor lock");
    for (size_t i = 0; i < sizeof(ReceiverMonitor); ++i)
        monitor[i] = static_cast<uint8_t>(i * 37 + 1);
    memset(monitor + offsetof(ReceiverMonitor, op), 0, sizeof(Operate));
    UnlockShareRecord(SHARE_MONITOR);
}

Record copy_of(SHARE_RECORD which, size_t size)
{
    Record bytes(size);
    void *record = LockShareRecord(which);
    fuzz::require(record != nullptr, "a record's lock");
    memcpy(bytes.data(), record, size);
    UnlockShareRecord(which);
    return bytes;
}

bool wait_idle()
{
    for (int waited_ms = 0; waited_ms < 10000; ++waited_ms) {
        if (GetMonitorOperateState() != OP_EXE)
            return true;
        const timespec pause = {0, 1000000};
        nanosleep(&pause, nullptr);
    }
    return false;
}

void check_answer(const Run &run)
{
    const std::string printed = fuzz::printed_answer(run.answer);
    cgi::Json parsed(fuzz::parse_strict(printed));
    fuzz::require(parsed.get() != nullptr, "the answer is valid UTF-8 JSON: " + printed);
    const std::string keys = fuzz::keys_of(parsed.get());
    fuzz::require(keys == fuzz::keys_of(run.answer), "the printed answer keeps its members");
    fuzz::require(keys == run.branch.answer_keys, std::string("the answer has the members ") +
                                                      run.branch.answer_keys + ": " + printed);
}

void check_record(const Run &run, const Record &monitor_before, const Record &monitor_after)
{
    Record outside_before = run.before, outside_after = run.after;
    for (const Span &span : run.program.own) {
        memset(outside_before.data() + span.offset, 0, span.size);
        memset(outside_after.data() + span.offset, 0, span.size);
    }
    fuzz::require(outside_before == outside_after, "only the program's own fields change");
    Record mailbox_before = monitor_before, mailbox_after = monitor_after;
    memset(mailbox_before.data() + offsetof(ReceiverMonitor, op), 0, sizeof(Operate));
    memset(mailbox_after.data() + offsetof(ReceiverMonitor, op), 0, sizeof(Operate));
    fuzz::require(mailbox_before == mailbox_after,
                  "of the monitor record only the mailbox changes");

    if (!run.branch.changes)
        fuzz::require(!run.own_changed() && run.taken.empty(), "a query changes and posts nothing");
    if (run.program.operation == ENTRY_NULL_OP) {
        fuzz::require(run.taken.empty(), "a program without an operation posts none");
        return;
    }
    fuzz::require(!answered_failure(run.answer),
                  "with a daemon that takes every operation at once, nothing fails");
    fuzz::require(run.taken.size() <= 1, "one request posts at most one operation");
    if (run.own_changed() || (run.branch.changes && !answered_failure(run.answer))) {
        fuzz::require(run.taken.size() == 1, "a change kept or answered is announced");
        fuzz::require(run.taken[0].operation == run.program.operation, "its own operation");
        fuzz::require(run.taken[0].config == run.after,
                      "the daemon finds the change stored when it takes the operation");
    }
}

// Stored texts come from the request, cut; answered texts from the record, cut.
void check_texts(const Run &run)
{
    for (const Text &text : run.program.texts) {
        const std::string stored = text_of(run.is(text.offset), text.size);
        if (!run.branch.changes) {
            json_object *answered = member(run.answer, text.key);
            if (answered != nullptr)
                fuzz::require(stored.rfind(json_object_get_string(answered), 0) == 0,
                              std::string("\"") + text.key + "\" answers the stored text, cut");
            continue;
        }
        if (!run.changed(text.offset, text.size))
            continue;
        json_object *value = member(run.request, text.key);
        fuzz::require(value != nullptr,
                      std::string("\"") + text.key + "\" absent or null changes nothing");
        const std::string sent = json_object_get_string(value);
        fuzz::require(sent.rfind(stored, 0) == 0,
                      std::string("\"") + text.key + "\" is stored as its start");
        fuzz::require(stored.size() < text.size || !text.terminated,
                      "a stored text ends within its field");
        fuzz::require(!valid_utf8(sent) || valid_utf8(stored), "a cut keeps whole characters");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::attach_private_store();
    void *gnss = LockShareRecord(SHARE_GNSS);
    memset(gnss, 0x5a, sizeof(GNSSInfo));
    UnlockShareRecord(SHARE_GNSS);
    daemon_stand_in.start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string input(reinterpret_cast<const char *>(data), size);
    const size_t name_end = input.find('\n');
    if (name_end == std::string::npos)
        return -1;
    const Program *program = nullptr;
    for (const Program &candidate : programs)
        if (input.compare(0, name_end, candidate.name) == 0)
            program = &candidate;
    if (program == nullptr)
        return -1;
    const std::string body = input.c_str() + name_end + 1;
    const size_t stored_at = name_end + 1 + body.size() + 1;
    const std::string stored = stored_at < input.size() ? input.substr(stored_at) : "";

    lay_records(*program, stored);
    daemon_stand_in.forget();
    const Record before = copy_of(SHARE_CONFIG, config_size);
    const Record monitor_before = copy_of(SHARE_MONITOR, sizeof(ReceiverMonitor));
    const Record gnss_before = copy_of(SHARE_GNSS, sizeof(GNSSInfo));
    settings_fuzz::ins_pauses = 0;
    const unsigned lost = ShareMemoryLocksLost();

    cgi::Json request(json_tokener_parse(body.c_str()));
    cgi::Json answer(json_object_new_object());
    (*program->work)({body.c_str(), request.get()}, answer.get());

    fuzz::require(wait_idle(), "the daemon stand-in takes every operation");
    fuzz::require(ShareMemoryLocksLost() == lost, "no lock is lost");
    const Run run = {*program,
                     branch_for(*program, request.get()),
                     request.get(),
                     answer.get(),
                     before,
                     copy_of(SHARE_CONFIG, config_size),
                     daemon_stand_in.taken(),
                     settings_fuzz::ins_pauses};
    fuzz::require(copy_of(SHARE_GNSS, sizeof(GNSSInfo)) == gnss_before, "the GNSS record stays");
    check_answer(run);
    check_record(run, monitor_before, copy_of(SHARE_MONITOR, sizeof(ReceiverMonitor)));
    check_texts(run);
    if (program->check != nullptr)
        program->check(run);
    return 0;
}
