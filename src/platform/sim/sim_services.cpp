#include "platform/sim/sim_services.h"

namespace zk::sim {

namespace {

constexpr std::uint32_t ERROR_INVALID_SERVICE_CONTROL = 1052;
constexpr std::uint32_t ERROR_INVALID_NAME = 123;
constexpr std::uint32_t SERVICE_ACCEPT_STOP = 1;
constexpr std::uint32_t SERVICE_NO_CHANGE = 0xFFFFFFFF;

// Running, continuing, pausing or paused: a state whose stop goes to the service if it
// accepts one.
bool takesControls(std::uint32_t state) {
    return state != win::SERVICE_STOPPED && state != win::SERVICE_START_PENDING && state != win::SERVICE_STOP_PENDING;
}

std::u16string fold(std::u16string_view name) {
    std::u16string out(name);
    for (char16_t& c : out)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return out;
}

std::string ascii(std::u16string_view s) {
    std::string out;
    for (char16_t c : s) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

}  // namespace

SimService& SimServices::add(std::u16string name, std::uint32_t state, std::uint32_t startType) {
    SimService& s = services_[fold(name)];
    s = SimService{};
    s.name = std::move(name);
    s.state = state;
    s.startType = startType;
    return s;
}

SimService* SimServices::find(std::u16string_view name) {
    auto it = services_.find(fold(name));
    return it == services_.end() ? nullptr : &it->second;
}

ServiceStatus SimServices::statusOf(const SimService& s) {
    ServiceStatus out;
    out.serviceType = 0x20;  // SERVICE_WIN32_SHARE_PROCESS
    out.currentState = s.state;
    out.controlsAccepted = s.acceptsStop && takesControls(s.state) ? SERVICE_ACCEPT_STOP : 0u;
    out.processId = s.state == win::SERVICE_STOPPED ? 0 : s.processId;
    return out;
}

SimService* SimServices::opened(const ServiceHandle& h, std::uint32_t needed) {
    const HandleInfo* info = core_.handle(h.get(), HandleKind::Service);
    if (!info) return nullptr;
    if ((info->access & needed) != needed) {
        lastError() = win::ERROR_ACCESS_DENIED;
        return nullptr;
    }
    SimService* s = find(info->name);
    if (!s) lastError() = win::ERROR_INVALID_HANDLE;  // the service was deleted
    return s;
}

ServiceManagerHandle SimServices::openServiceManager(std::uint32_t access) {
    if (core_.failsWin32(Op::OpenServiceManager)) return {};
    std::lock_guard lk(core_.m);
    HandleInfo info;
    info.kind = HandleKind::ServiceManager;
    info.access = access;
    return ServiceManagerHandle(&owner_, core_.newHandle(std::move(info)));
}

ServiceHandle SimServices::openService(const ServiceManagerHandle& manager, const char16_t* name,
                                       std::uint32_t access) {
    if (core_.failsWin32(Op::OpenService)) return {};
    std::lock_guard lk(core_.m);
    if (!core_.handle(manager.get(), HandleKind::ServiceManager)) return {};
    if (!name || !*name) {
        lastError() = ERROR_INVALID_NAME;
        return {};
    }
    const SimService* s = find(name);
    if (!s) {
        lastError() = win::ERROR_SERVICE_DOES_NOT_EXIST;
        return {};
    }
    if ((access & ~s->allowedAccess) != 0) {
        lastError() = win::ERROR_ACCESS_DENIED;
        return {};
    }
    HandleInfo info;
    info.kind = HandleKind::Service;
    info.access = access;
    info.name = s->name;
    return ServiceHandle(&owner_, core_.newHandle(std::move(info)));
}

bool SimServices::queryServiceStatus(const ServiceHandle& service, ServiceStatus& out) {
    if (core_.failsWin32(Op::QueryServiceStatus)) return false;
    std::lock_guard lk(core_.m);
    SimService* s = opened(service, win::SERVICE_QUERY_STATUS);
    if (!s) return false;
    if (s->state == win::SERVICE_START_PENDING || s->state == win::SERVICE_STOP_PENDING) {
        if (s->pendingLeft > 0)
            --s->pendingLeft;
        else
            s->state = s->state == win::SERVICE_START_PENDING ? win::SERVICE_RUNNING : win::SERVICE_STOPPED;
    }
    out = statusOf(*s);
    return true;
}

bool SimServices::startService(const ServiceHandle& service) {
    if (core_.failsWin32(Op::StartService)) return false;
    std::lock_guard lk(core_.m);
    SimService* s = opened(service, win::SERVICE_START);
    if (!s) return false;
    std::uint32_t error = 0;
    if (s->startError != 0)
        error = s->startError;
    else if (s->startType == win::SERVICE_DISABLED)
        error = win::ERROR_SERVICE_DISABLED;
    else if (s->state != win::SERVICE_STOPPED)  // a stop pending too: the documentation is silent; as before
        error = win::ERROR_SERVICE_ALREADY_RUNNING;
    if (error != 0) {
        lastError() = error;
        return false;
    }
    s->state = win::SERVICE_START_PENDING;
    s->pendingLeft = s->pendingPolls;
    core_.record("StartService " + ascii(s->name));
    return true;
}

bool SimServices::controlService(const ServiceHandle& service, std::uint32_t control, ServiceStatus& out) {
    if (core_.failsWin32(Op::ControlService)) return false;
    std::lock_guard lk(core_.m);
    if (control != win::SERVICE_CONTROL_STOP) {
        lastError() = ERROR_INVALID_SERVICE_CONTROL;
        return false;
    }
    SimService* s = opened(service, win::SERVICE_STOP);
    if (!s) return false;
    // ControlService's table of states for a stop: stopped, "the service is not active"
    // (1062); stop pending, "not in a state in which a control can be sent" (1061);
    // running, pausing, paused or continuing, sent when the service accepts it, else 1052.
    // Start pending: the table sends it to a service that accepts it, the error list
    // names 1061; a starting service accepts no control, and the answer stays 1061.
    std::uint32_t error = 0;
    if (s->state == win::SERVICE_STOPPED)
        error = win::ERROR_SERVICE_NOT_ACTIVE;
    else if (!takesControls(s->state))
        error = win::ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    else if (!s->acceptsStop)
        error = ERROR_INVALID_SERVICE_CONTROL;
    if (error != 0) {
        lastError() = error;
        return false;
    }
    s->state = win::SERVICE_STOP_PENDING;
    s->pendingLeft = s->pendingPolls;
    core_.record("ControlService " + ascii(s->name) + " stop");
    out = statusOf(*s);
    return true;
}

bool SimServices::changeServiceStartType(const ServiceHandle& service, std::uint32_t startType) {
    if (core_.failsWin32(Op::ChangeServiceConfig)) return false;
    std::lock_guard lk(core_.m);
    SimService* s = opened(service, win::SERVICE_CHANGE_CONFIG);
    if (!s) return false;
    if (startType == SERVICE_NO_CHANGE) return true;  // the start type stays
    // Boot (0) and system (1) start are "valid only for driver services", and these are
    // Win32 services.
    if (startType < win::SERVICE_AUTO_START || startType > win::SERVICE_DISABLED) {
        lastError() = win::ERROR_INVALID_PARAMETER;
        return false;
    }
    s->startType = startType;
    core_.record("ChangeServiceConfig " + ascii(s->name) + " start=" + std::to_string(startType));
    return true;
}

bool SimServices::setDelayedAutoStart(const ServiceHandle& service, bool delayed) {
    if (core_.failsWin32(Op::ChangeServiceConfig2)) return false;
    std::lock_guard lk(core_.m);
    SimService* s = opened(service, win::SERVICE_CHANGE_CONFIG);
    if (!s) return false;
    s->delayedAutoStart = delayed;
    core_.record("ChangeServiceConfig2 " + ascii(s->name) + " delayed=" + (delayed ? "1" : "0"));
    return true;
}

}  // namespace zk::sim
