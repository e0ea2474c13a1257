#include "tools/httpmail/admin_pages.h"

#include <sstream>

#include "tools/httpmail/text_util.h"

namespace httpmail {

namespace {
HttpResponse Text(const std::string& text) {
    HttpResponse response(200);
    response.SetBody(text, "text/plain; charset=utf-8");
    return response;
}

bool Number(const std::string& text, size_t& out) {
    uint64_t n = 0;
    if (!ParseDecimal(text, 1u << 30, n)) return false;
    out = size_t(n);
    return true;
}
}  // namespace

AdminPages::AdminPages(const Mailbox& box, const SentStore& store, const Journal& log,
                       FaultPlan& plan)
    : mailbox(box), sent(store), journal(log), faults(plan) {}

HttpResponse AdminPages::Handle(const HttpRequest& request, const RequestTarget& target) const {
    const auto& s = target.segments;  // s[0] is "_admin"
    const std::string page = s.size() > 1 ? s[1] : "";
    const bool get = request.method == "GET";
    size_t n = 0;
    if (page == "faults" && s.size() == 2 && (request.method == "PUT" || request.method == "POST"))
        return ReplaceFaults(request.body);
    if (!get) return HttpResponse::Page(405);
    std::string text;
    if (page == "mailbox" && s.size() == 3) {
        for (const std::string& name : mailbox.AccountNames())
            if (name == ToLower(s[2])) return Text(mailbox.Describe(name));
    } else if (page == "sent" && s.size() == 2) {
        return Text(sent.Summary());
    } else if (page == "sent" && s.size() == 3 && Number(s[2], n) && sent.Raw(n, text)) {
        return Text(text);
    } else if (page == "journal" && s.size() == 2) {
        return Text(journal.Lines());
    } else if (page == "journal" && s.size() == 3 && Number(s[2], n) && journal.Head(n, text)) {
        return Text(text);
    } else if (page == "faults" && s.size() == 2) {
        return Text(faults.Describe());
    }
    return HttpResponse::Page(404);
}

HttpResponse AdminPages::ReplaceFaults(const std::string& body) const {
    std::vector<FaultRule> rules;
    std::istringstream lines(body);
    std::string line, error;
    while (std::getline(lines, line)) {
        const std::string_view spec = Trim(line);
        if (spec.empty()) continue;
        FaultRule rule;
        if (!FaultPlan::ParseRule(spec, rule, error))
            return HttpResponse::Page(400, std::string(spec) + ": " + error);
        rules.push_back(rule);
    }
    faults.Replace(std::move(rules));
    return Text(faults.Describe());
}

}  // namespace httpmail
