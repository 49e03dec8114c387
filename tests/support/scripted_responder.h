#pragma once

#include "platform/modal.h"

#include <deque>
#include <map>
#include <mutex>
#include <vector>

namespace brxtest {

// Answers modal requests (message boxes and dialogs) for a test, by string or
// dialog number, and records every request with its text. It installs itself
// as the gateway's responder for its lifetime and restores the one before.
// A request it has no answer for fails the running test and gets the
// gateway's default answer.
class ScriptedResponder {
public:
    ScriptedResponder();
    ~ScriptedResponder();
    ScriptedResponder(const ScriptedResponder &) = delete;
    ScriptedResponder &operator=(const ScriptedResponder &) = delete;

    // Answers the next request for string or dialog `id` (answers for one id
    // are used in the order given; the last one is kept for later requests).
    void answer(plat::UINT id, int button, std::map<int, std::string> fields = {});

    // Answers the next request of any number that has no answer of its own.
    void answerNext(int button, std::map<int, std::string> fields = {});

    // Every request seen so far, in order.
    std::vector<plat::ModalRequest> requests() const;

private:
    plat::ModalAnswer respond(const plat::ModalRequest &request);

    mutable std::mutex m_mutex;
    std::map<plat::UINT, std::deque<plat::ModalAnswer>> m_byId;
    std::deque<plat::ModalAnswer> m_next;
    std::vector<plat::ModalRequest> m_requests;
    plat::ModalResponder m_previous;
};

} // namespace brxtest
