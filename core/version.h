#pragma once

// The program's version text; the settings' version marker is "ver-" + this.
constexpr const char* kMirelinkVersion = "3.6";
