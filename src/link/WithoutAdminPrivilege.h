#pragma once
// Root opens a terminal that another program holds in exclusive mode
// (TIOCEXCL) as if it were free. The serial control opens its device inside
// one of these, so that such a device is busy for root too.
#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

// For as long as this lives, the calling thread goes without
// the privilege that lets it (CAP_SYS_ADMIN); it gets it back at the end.
class WithoutAdminPrivilege {
public:
    WithoutAdminPrivilege()
    {
        if (::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        if (!(m_saved[0].effective & (1U << CAP_SYS_ADMIN)))
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~(1U << CAP_SYS_ADMIN);
        m_dropped = ::syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~WithoutAdminPrivilege()
    {
        if (m_dropped)
            ::syscall(SYS_capset, &m_header, m_saved);
    }
    WithoutAdminPrivilege(const WithoutAdminPrivilege&) = delete;
    WithoutAdminPrivilege& operator=(const WithoutAdminPrivilege&) = delete;

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_dropped = false;
};
#else
// Elsewhere an exclusive open keeps everyone out already.
struct WithoutAdminPrivilege {};
#endif

