// Scope-exit actions.
#ifndef TOOLBOX_H
#define TOOLBOX_H

#include <utility>

#include "ErrorHandling.h"

// Runs the action when the scope ends, on every path; nothing escapes.
template <class Callable>
class AtEndOfScope {
public:
    explicit AtEndOfScope(Callable action) : action(std::move(action)) {}
    ~AtEndOfScope() {
        try {
            action();
        } TARN_CATCH_ALL()
    }
    AtEndOfScope(const AtEndOfScope&) = delete;
    AtEndOfScope& operator=(const AtEndOfScope&) = delete;

private:
    Callable action;
};

template <class Callable>
AtEndOfScope<Callable> atEndOfScope(Callable action) {
    return AtEndOfScope<Callable>(std::move(action));
}

#endif // TOOLBOX_H
