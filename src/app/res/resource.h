#pragma once

// Resource identifiers shared by the resource script and the window code.
#define IDI_STENVAULT 1
