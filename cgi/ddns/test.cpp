// The dynamic-DNS client: server, user name, password and domain. The pages show the stored
// password, so the query answers it.
#include <cstddef>

#include "request.h"
#include "service.h"

namespace {

constexpr service::Text texts[] = {
    {"RN", offsetof(DDNSConfig, domain), sizeof(DDNSConfig::domain), 32},
    {"SP", offsetof(DDNSConfig, server_name), sizeof(DDNSConfig::server_name), 32},
    {"username", offsetof(DDNSConfig, user_name), sizeof(DDNSConfig::user_name), 32},
    {"password", offsetof(DDNSConfig, password), sizeof(DDNSConfig::password), 32},
};

constexpr service::Description ddns =
    service::describe<DDNSConfig>(ENTRY_DDNS_CONFIG, ENTRY_DDNS_OP, texts);

void work(const cgi::Request &request, json_object *answer)
{
    service::work(ddns, request.object, answer);
}

} // namespace

int main()
{
    return cgi::serve({cgi::Attach::after_header, work});
}
