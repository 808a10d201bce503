// The upload of the run's data files to the server's WebDAV spool.

#include "CTransferCoordinator.h"

bool CTransferCoordinator::upload() {
    // Without "Config.ini" nothing is sent and the run counts as uploaded.
    if (isDestDirRequired()) {
        sendProgress(100, 100);
        return true;
    }
    // The transfer itself comes with the WebDAV client.
    return false;
}
