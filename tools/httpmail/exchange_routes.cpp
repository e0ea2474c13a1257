#include "tools/httpmail/exchange_routes.h"

#include <algorithm>
#include <iterator>

namespace httpmail {

namespace {
const ExchangeRoute kExchangeRoutes[] = {
    {Place::GatewayLogin, "PROPFIND", Exchange::Login, &MailExchanges::Login},
    {Place::MsnLogin, "PROPFIND", Exchange::Login, &MailExchanges::Login},
    {Place::FolderRoot, "PROPFIND", Exchange::Folders, &MailExchanges::Folders},
    {Place::Folder, "PROPFIND", Exchange::List, &MailExchanges::List},
    {Place::Message, "GET", Exchange::Get, &MailExchanges::Get},
    {Place::Message, "HEAD", Exchange::Get, &MailExchanges::Get},
    {Place::Message, "MOVE", Exchange::Move, &MailExchanges::Move},
    {Place::Message, "PROPPATCH", Exchange::Proppatch, &MailExchanges::Proppatch},
    {Place::Message, "COPY", Exchange::Copy, &MailExchanges::Copy, &ServiceSettings::copyAndDelete},
    {Place::Message, "DELETE", Exchange::Delete, &MailExchanges::Delete,
     &ServiceSettings::copyAndDelete},
    {Place::Message, "PUT", Exchange::Put, &MailExchanges::Put, &ServiceSettings::put},
    {Place::NewUserFolder, "PUT", Exchange::Put, &MailExchanges::PutNowhere, &ServiceSettings::put},
    {Place::AccountOther, "PUT", Exchange::Put, &MailExchanges::PutNowhere, &ServiceSettings::put},
    {Place::SendMsg, "POST", Exchange::Post, &MailExchanges::Post},
    {Place::NewUserFolder, "MKCOL", Exchange::Mkcol, &MailExchanges::MakeFolder,
     &ServiceSettings::folderChanges},
    {Place::Message, "MKCOL", Exchange::Mkcol, &MailExchanges::NoFolderHere,
     &ServiceSettings::folderChanges},
    {Place::AccountOther, "MKCOL", Exchange::Mkcol, &MailExchanges::NoFolderHere,
     &ServiceSettings::folderChanges},
    {Place::Folder, "MOVE", Exchange::FolderMove, &MailExchanges::MoveFolder,
     &ServiceSettings::folderChanges},
    {Place::Folder, "DELETE", Exchange::FolderDelete, &MailExchanges::DeleteFolder,
     &ServiceSettings::folderChanges},
    {Place::FolderRoot, "MOVE", Exchange::FolderMove, &MailExchanges::KeepRoot,
     &ServiceSettings::folderChanges},
    {Place::FolderRoot, "DELETE", Exchange::FolderDelete, &MailExchanges::KeepRoot,
     &ServiceSettings::folderChanges},
};
}  // namespace

const ExchangeRoute* FindExchangeRoute(Place place, const std::string& method) {
    const auto it = std::find_if(
        std::begin(kExchangeRoutes), std::end(kExchangeRoutes),
        [&](const ExchangeRoute& r) { return r.place == place && method == r.method; });
    return it == std::end(kExchangeRoutes) ? nullptr : it;
}

bool Offered(const ExchangeRoute& route, const ServiceSettings& settings) {
    return !route.offeredWhen || settings.*route.offeredWhen;
}

HttpResponse Unrouted(Place place, const ExchangeRoute* route, const ServiceSettings& settings) {
    if (!route && PlaceIsMissing(place)) return HttpResponse::Page(404);
    std::string allow;
    for (const ExchangeRoute& r : kExchangeRoutes)
        if (r.place == place && Offered(r, settings))
            allow += (allow.empty() ? "" : ", ") + std::string(r.method);
    HttpResponse response = HttpResponse::Page(405);
    response.AddHeader("Allow", allow);
    return response;
}

}  // namespace httpmail
