#pragma once
// What a load of the settings tells the log about the store: the values it
// cannot read as written, and the ones it cannot use as they are. Each line
// names the value's place (the file and line on Linux), so a mistake made by
// hand in the settings file is never silent.
#include "settings/config.h"
#include "settings/registry_key.h"

// Logs the key's lines that are no value, the values of names the program
// does not know, and values of another type than their setting's.
void LogStoreProblems(const vxw::RegistryKey& key);

// Reads the numbers and flags of the table that the key holds into values.
// A dword is taken as it is. A value of another type is logged with its
// place, what was read and what is used: a text that holds a decimal number
// is that number, a binary value of up to four bytes is read from its bytes
// as the registry reads it, and anything else keeps what values holds. True
// when any was no dword: the store is then rewritten with numbers, so that
// the next start reads what this one used.
bool ReadNumbers(const vxw::RegistryKey& key, Config::Values& values);

// Whether the services can listen on address: an IPv4 address, or a name
// that resolves to one (the listeners speak IPv4 only).
bool CanListenOn(const vx::Str& address);

// Two services given one port: "Port and PortSmtp are both 1110"; empty when
// each service has its own (a switched-off IMAP clashes with nothing).
vx::Str PortClash(const Config::Values& values);

// Puts right, and logs, the values read that cannot be used: an address that
// is empty or no text (it would open the gateway to every network; only an
// explicit address may) or one the services cannot listen on (127.0.0.1 is
// used), a time-out of 0 or less, and a service given the port of another
// (it keeps its default; IMAP is off).
void CorrectUnusable(const vxw::RegistryKey& key, Config::Values& values);
