#include "scripted_responder.h"

#include <gtest/gtest.h>

namespace brxtest {

ScriptedResponder::ScriptedResponder()
{
    m_previous = plat::setModalResponder(
        [this](const plat::ModalRequest &request) { return respond(request); });
}

ScriptedResponder::~ScriptedResponder()
{
    plat::setModalResponder(std::move(m_previous));
}

void ScriptedResponder::answer(plat::UINT id, int button, std::map<int, std::string> fields)
{
    std::lock_guard lock(m_mutex);
    m_byId[id].push_back({button, std::move(fields)});
}

void ScriptedResponder::answerNext(int button, std::map<int, std::string> fields)
{
    std::lock_guard lock(m_mutex);
    m_next.push_back({button, std::move(fields)});
}

std::vector<plat::ModalRequest> ScriptedResponder::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

plat::ModalAnswer ScriptedResponder::respond(const plat::ModalRequest &request)
{
    std::lock_guard lock(m_mutex);
    m_requests.push_back(request);
    if (auto it = m_byId.find(request.id); request.id != 0 && it != m_byId.end()) {
        plat::ModalAnswer a = it->second.front();
        if (it->second.size() > 1)
            it->second.pop_front();
        return a;
    }
    if (!m_next.empty()) {
        plat::ModalAnswer a = std::move(m_next.front());
        m_next.pop_front();
        return a;
    }
    ADD_FAILURE() << "unanswered modal request " << request.id << " (" << request.module << "): \""
                  << request.text << "\" caption \"" << request.caption << "\"";
    return {plat::defaultModalAnswer(request), {}};
}

} // namespace brxtest
