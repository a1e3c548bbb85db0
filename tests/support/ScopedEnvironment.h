#pragma once

// Environment variables set or cleared for one test and put back as they were when the guard goes, so
// that no test leaves its settings to the next one in the same process.

#include <optional>
#include <QByteArray>
#include <utility>
#include <vector>

namespace tessa::test {

class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    // Sets one variable.
    ScopedEnvironment(const char* name, const QByteArray& value) { set(name, value); }
    ~ScopedEnvironment() { restore(); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    void set(const char* name, const QByteArray& value) {
        remember(name);
        qputenv(name, value);
    }
    void unset(const char* name) {
        remember(name);
        qunsetenv(name);
    }
    // True while some variable is changed and not yet put back.
    bool changed() const { return !saved_.empty(); }
    // Puts every variable back now, the last changed first.
    void restore() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second)
                qputenv(it->first.constData(), *it->second);
            else
                qunsetenv(it->first.constData());
        }
        saved_.clear();
    }

private:
    void remember(const char* name) {
        saved_.emplace_back(QByteArray(name),
                            qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
    }

    std::vector<std::pair<QByteArray, std::optional<QByteArray>>> saved_;
};

} // namespace tessa::test
