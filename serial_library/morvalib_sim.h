#pragma once
// Only the simulator flavour of the library (Morvalib-sim.dll, embedded in
// NOLPAID-sim.exe) has this export. Through it the program hands the library
// the simulated world of its own process, so that what the program and the
// library see of a printer never diverges. Until it is called the simulator
// flavour reaches no printer: every lookup gives -9.
//
// The program calls it once, right after binding the four entry points and
// before calling any of them, with its world's device files, clock and the
// USB topology its printers are plugged into (sim/usb/usb_topology.h), through
// which the library traces each printer to its socket, and (NOLPAID-sim.exe
// does, sim/library_world.h) the simulated spooler, registry and system
// folders with a module loader for the printers behind spooler printers:
//   nolpa::morvalib::LibraryServices services{.files = &world.Files(), .clock = &clock,
//                                             .deviceTree = &usb.Tree(),
//                                             .hubFiles = &usb.HubFiles(),
//                                             .interfaces = &usb.Interfaces()};
//   attach(&services);  // 0: attached
// The record is copied; what it points to must outlive every later call
// into the library (the program unloads the library before its world ends).
// Both sides must be built from the same sources: the objects are called
// across the module boundary by their virtual tables.
#include "serial_library/morvalib.h"
#include "serial_library/services.h"

extern "C" {

// 0 when the services are now in force; -1 (and nothing changes) when
// `services` is null, lacks a service or is of another build's size.
int MORVALIB_CALL AttachSimulatedWorld(const nolpa::morvalib::LibraryServices* services);

typedef int(MORVALIB_CALL* AttachSimulatedWorldFn)(const nolpa::morvalib::LibraryServices*);

}  // extern "C"
