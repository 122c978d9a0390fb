// Inertial navigation settings: enable, mode and initial value, plus the inertial unit's state.
// Both branches answer only once no operation is executing, so a change is answered after the
// daemon has finished it.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <unistd.h>

#include "change.h"
#include "request.h"
#include "sharememory.h"

namespace {

/* The pages number the modes differently from the record. The swap is its own inverse, so it
 * serves both directions; 0 stands for a number outside 1 to 8. */
constexpr uint8_t mode_swap[] = {0, 2, 1, 4, 3, 8, 7, 6, 5};

int swapped_mode(int mode)
{
    return mode >= 1 && mode <= 8 ? mode_swap[mode] : 0;
}

/* A request value only replaces the stored one as a positive, finite float: too small a value
 * rounds to 0, and too large a one would become infinity. */
bool usable_initial_value(double requested, float *converted)
{
    if (!(requested > 0 && requested <= FLT_MAX))
        return false;
    *converted = static_cast<float>(requested);
    return *converted > 0;
}

/* Cut toward zero, saturating at the ends of the integer range as the device's conversion
 * does, so a value the daemon stored out of range answers the same on every build. */
int whole_part(float value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483648.0f)
        return INT32_MAX;
    if (value <= -2147483648.0f)
        return INT32_MIN;
    return static_cast<int>(value);
}

bool change(const INSConfig &stored, json_object *request)
{
    INSConfig ins = stored;
    ins.enable = static_cast<uint8_t>(json_object_get_int(cgi::member(request, "enable")));
    int mode = swapped_mode(json_object_get_int(cgi::member(request, "mode")));
    if (mode != 0)
        ins.mode = static_cast<uint8_t>(mode);
    ins.axial = ins.mode != stored.mode;
    float initial = 0;
    if (usable_initial_value(json_object_get_double(cgi::member(request, "initSV")), &initial))
        ins.initSV = initial;

    if (!cgi::write_change(ENTRY_INS, &ins))
        return false;
    /* One second between the write and the post, as the daemon has always had it. */
    sleep(1);
    return cgi::post_change(ENTRY_INS, &stored, &ins, ENTRY_INS_OP) &&
           WaitMonitorOperateIdle() == 0;
}

bool query(const INSConfig &ins, json_object *answer)
{
    cgi::add_int(answer, "enable", ins.enable);
    cgi::add_int(answer, "mode", swapped_mode(ins.mode));
    cgi::add_int(answer, "initSV", whole_part(ins.initSV));
    cgi::add_int(answer, "imuState", GetIMUStatus());
    return WaitMonitorOperateIdle() == 0;
}

void work(const cgi::Request &request, json_object *answer)
{
    INSConfig ins = {};
    const bool changing = cgi::has(request.object, "enable");
    if (GetReceiverConfigParaFromShareMemory(ENTRY_INS, &ins) != 0)
        return;

    bool done = changing ? change(ins, request.object) : query(ins, answer);
    cgi::add_string(answer, "Res", done ? "Success" : "failed");
}

} // namespace

int main()
{
    return cgi::serve({cgi::Attach::after_header, work});
}
