// Tunnel service B: token and domain.
#include <cstddef>

#include "request.h"
#include "service.h"

namespace {

constexpr service::Text texts[] = {
    {"RN", offsetof(PORTVIAConfig, domain), sizeof(PORTVIAConfig::domain), 32},
    {"authtoken", offsetof(PORTVIAConfig, authtoken), sizeof(PORTVIAConfig::authtoken), 32},
};

constexpr service::Description portvia =
    service::describe<PORTVIAConfig>(ENTRY_PORTVIA_CONFIG, ENTRY_PORTVIA_OP, texts);

void work(const cgi::Request &request, json_object *answer)
{
    service::work(portvia, request.object, answer);
}

} // namespace

int main()
{
    return cgi::serve({cgi::Attach::after_header, work});
}
