#pragma once
// A serial control that passes everything to another one and tells a watcher
// of each frame written, once the frame has been handed on, so that watching
// puts no delay ahead of any frame. The script player learns from it when a
// sweep has sent its first position.
#include "link/ForwardingCommControl.h"

class FrameWatch final : public ForwardingCommControl {
public:
    using ForwardingCommControl::ForwardingCommControl;

    std::function<void(const QByteArray& frame)> onFrame;

    Written Output(const QByteArray& bytes) override
    {
        const Written written = m_line.Output(bytes);
        if (onFrame)
            onFrame(bytes);
        return written;
    }
};
