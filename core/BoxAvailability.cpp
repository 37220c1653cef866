#include "BoxAvailability.h"

#include "ServiceUnavailable.h"

#include "VaultranerProxy.h"

namespace {
int systemEnabled() { return VaultranerProxy::boxEnabled(); }
int systemInit() { return VaultranerProxy::boxInit(); }
// In the user's language, with the fix that fits this installation.
QString systemCause() { return ServiceUnavailable::currentText(); }
} // namespace

BoxAvailability::Probe BoxAvailability::systemProbe()
{
    return Probe{systemEnabled, systemInit, systemCause};
}

BoxAvailability BoxAvailability::check(const Probe &probe)
{
    BoxAvailability result;
    const int enabled = probe.enabled();
    if (enabled == 0) {
        result.state = State::Unsupported;
        result.code = enabled;
    } else {
        const int res = probe.init();
        if (res == 0)
            return result;
        result.state = State::InitFailed;
        result.code = res;
    }
    result.cause = probe.cause ? probe.cause() : QString();
    return result;
}

QString BoxAvailability::refusal() const
{
    switch (state) {
    case State::Available:
        break;
    case State::Unsupported:
        return tr("当前系统不支持Venmora文件保护箱相关功能！");
    case State::InitFailed:
        return tr("初始化Venmora文件保护箱模块失败！");
    }
    return QString();
}

QString BoxAvailability::message(const QString &separator) const
{
    return cause.isEmpty() ? refusal() : refusal() + separator + cause;
}
