#include "forms/double_click.h"

#include <QEvent>
#include <utility>

namespace nox::forms {
namespace {

class DoubleClickWatcher : public QObject {
 public:
  DoubleClickWatcher(QObject& control, std::function<void()> action)
      : QObject(&control), action_(std::move(action)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::MouseButtonDblClick) return QObject::eventFilter(watched, event);
    action_();
    return true;
  }

 private:
  std::function<void()> action_;
};

}  // namespace

void OnDoubleClick(QObject& control, std::function<void()> action) {
  control.installEventFilter(new DoubleClickWatcher(control, std::move(action)));
}

}  // namespace nox::forms
