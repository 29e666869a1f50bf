// In-process stand-ins for the broadcast platform's components, talking to
// the broadcast simulator (bcsim) over the ports of ../PROTOCOL.md:
//  - file stream       kClsidFileStream: IStreamControl, IFilePlayback,
//                      connection point for IDB_FileEofEvent (file_stream.h);
//  - network stream    kClsidNetworkStream: IStreamControl, INetworkStream;
//                      sends to the data port given by SetServer (network_stream.h);
//  - terminal directory kClsidTerminalDirectory: ITerminalDirectory;
//  - terminal item     kClsidTerminalItem: ITerminalItem; both ask the
//                      information port (terminal_directory.h, terminal_item.h).
//
// Environment:
//  QUILLON_INFO_HOST       information port's IPv4 address, default 127.0.0.1
//  QUILLON_INFO_PORT       information port, default 15002
//  QUILLON_PLAYBACK_SPEED  plays files this many times faster than real time
#pragma once

namespace broadcast_components {

// Registers the four classes and the type library kRTimeLibId 1.0 that
// describes IDB_FileEofEvent, as installing the platform does. Programs call
// it once at start-up; calling it again does no harm.
void RegisterBroadcastComponents();
void UnregisterBroadcastComponents();

}  // namespace broadcast_components
