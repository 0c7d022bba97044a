#pragma once
// Field readers and writers shared by the fleet loader and writer. Readers
// throw FleetError naming the field; numbers may be written as JSON numbers
// or as "0x..." strings.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/core/faults.h"
#include "sim/fleet/fleet.h"
#include "sim/printers/board_image.h"
#include "sim/printers/spooler_seat.h"
#include "sim/usb/machine_layout.h"

namespace nolpa::sim::fleet_json {

using Json = nlohmann::ordered_json;

// Refuses keys outside `allowed`, so a misspelt field is not silently lost.
void CheckKeys(const Json& object, std::initializer_list<const char*> allowed,
               const std::string& what);

const Json* Field(const Json& object, const char* key);  // null when absent

std::uint64_t ReadNumber(const Json& value, const char* field, std::uint64_t max);
bool ReadBool(const Json& value, const char* field);
std::string ReadString(const Json& value, const char* field);      // UTF-8 as written
std::string ReadByteString(const Json& value, const char* field);  // one byte per code point
std::u16string ReadUnits(const Json& value, const char* field);    // text or code-unit array
std::vector<std::uint8_t> ReadBytes(const Json& value, const char* field);  // "04 03 09 04"

// Cells as [[address, value], ...], added to `board`.
void ReadBoardMemory(const Json& j, BoardMemory& board);

std::string HexNumber(std::uint32_t value, int digits);  // "0x0200"
Json ByteStringJson(const std::string& bytes);
Json UnitsJson(const std::u16string& units);  // a text when UTF-8 can hold it
Json BytesJson(const std::vector<std::uint8_t>& bytes);

QueryAnswer ReadQueryAnswer(const Json& value);
const char* QueryAnswerName(QueryAnswer answer);
IoctlFault::Action ReadAction(const Json& value);
const char* ActionName(IoctlFault::Action action);

// The fleet's "machine" object, read into `machine` (its sockets stay), and
// written back; a printer-class printer's "socket".
void ReadMachine(const Json& j, MachineLayout& machine);
// A hub away for a while (`comingBack`) is written as plugged in.
Json MachineJson(const MachineLayout& machine,
                 const std::function<bool(const std::string&)>& comingBack);
UsbSocket ReadSocket(const Json& j);
Json SocketJson(const UsbSocket& socket);
// Refuses a loaded machine whose sockets name no hub, whose hubs share a
// device's name, or whose bus cannot be built (a port taken or missing,
// say); then takes the printers below unplugged hubs away.
void CheckMachine(World& world);

// The fleet's "events", added to the world (its devices and machine loaded
// first), and the world's pending events written back (empty when none).
void ReadEvents(const Json& j, World& world);
Json EventsJson(const World& world);

// A printer-class printer's "spooler" object.
SpoolerSeat ReadSpoolerSeat(const Json& j);
Json SpoolerSeatJson(const SpoolerSeat& seat);

FaultSet ReadFaults(const Json& j);
PeripheralFaults ReadPeripheralFaults(const Json& j);
Json PeripheralFaultsJson(const PeripheralFaults& faults);  // empty when all off
// Only the switches that differ from a fault-free device; empty when none.
Json FaultsJson(const FaultSet& faults);

}  // namespace nolpa::sim::fleet_json
