#include "XServerResources.h"

#include <X11/extensions/XRes.h>

namespace varnoke::test
{
std::optional<long> countServerResources(Display* display, const char* typeName)
{
    int eventBase = 0, errorBase = 0;
    if (!XResQueryExtension(display, &eventBase, &errorBase))
        return std::nullopt;

    const Atom type = XInternAtom(display, typeName, False);
    int numClients = 0;
    XResClient* clients = nullptr;
    if (XResQueryClients(display, &numClients, &clients) == 0)
        return std::nullopt;

    long total = 0;
    for (int i = 0; i < numClients; ++i)
    {
        int numTypes = 0;
        XResType* types = nullptr;
        if (XResQueryClientResources(display, clients[i].resource_base, &numTypes, &types) == 0)
            continue;
        for (int t = 0; t < numTypes; ++t)
            if (types[t].resource_type == type)
                total += types[t].count;
        XFree(types);
    }
    XFree(clients);
    return total;
}
}  // namespace varnoke::test
