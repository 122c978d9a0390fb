// Tunnel service A: token, domain and region, switched on by a set and off by a disable.
#include <cstddef>

#include "request.h"
#include "service.h"

namespace {

constexpr service::Text texts[] = {
    {"RN", offsetof(TUNNEXConfig, domain), sizeof(TUNNEXConfig::domain), 100},
    {"authtoken", offsetof(TUNNEXConfig, authtoken), sizeof(TUNNEXConfig::authtoken), 100},
};

constexpr service::Region region = {"region", offsetof(TUNNEXConfig, region)};

constexpr service::Description tunnex =
    service::describe<TUNNEXConfig>(ENTRY_TUNNEX_CONFIG, ENTRY_TUNNEX_OP, texts, &region);

void work(const cgi::Request &request, json_object *answer)
{
    service::work(tunnex, request.object, answer);
}

} // namespace

int main()
{
    return cgi::serve({cgi::Attach::after_header, work});
}
