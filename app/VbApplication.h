#pragma once
#include <QApplication>
#include <functional>
#include <string>

namespace vb {

// The application with the program's last line of error handling: an error that no
// action caught is shown by `handler` instead of ending the program.
class VbApplication : public QApplication {
public:
    VbApplication(int& argc, char** argv);
    void SetErrorHandler(std::function<void(const std::string&)> handler) { FHandler = std::move(handler); }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    std::function<void(const std::string&)> FHandler;
};

}  // namespace vb
