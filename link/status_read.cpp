#include "link/status_read.h"

#include "link/link.h"

namespace kv {

StatusReply SendStatusRead(CLink& app, CSerialComm& channel, const StatusReadOptions& options) {
    StatusReply result;
    if (options.purge) channel.Purge();
    CTransport& transport = app.Transport();
    if (!transport.Prepare(kStatusRead)) {
        result.handshook = false;
        return result;
    }
    const uint8_t code = kStatusRead;
    channel.Write(&code, 1);
    uint8_t reply[2];
    result.answered = channel.Read(reply, 2) == 2;
    if (!result.answered && options.recover) {
        app.RecoverLink();
        result.handshook = false;
        return result;
    }
    if (result.answered) {
        result.srd = reply[0];
        result.srd1 = reply[1];
    }
    result.handshook = transport.Conclude(options.afterHandshakeMs);
    return result;
}

}  // namespace kv
