#pragma once

#include <string>
#include <vector>

namespace pellora {

// An alert: a message, an informative text below it and its buttons, the
// first being the default one.
struct Alert {
    std::string messageText;
    std::string informativeText;
    std::vector<std::string> buttonTitles;
};

// Shows alerts to the user. The GUI brings the application to the front and
// runs an application-modal dialog on the main thread, also when asked from
// another thread, which then waits for the answer.
class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;
    // The index in buttonTitles of the button the user chose; any other
    // number when the alert was dismissed without one.
    virtual int runModal(const Alert& alert) = 0;
};

} // namespace pellora
