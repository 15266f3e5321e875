// The two preroll settings of the VTR: the normal one for compressed grabs
// and the one for uncompressed (D1) grabs, whose preroll integer comes from
// SCSI_D1.
#pragma once

#include <string>

// Prepares both settings from SCSIVIDEO_MASTER and SCSI_D1: when SCSI_D1
// holds a number from 0 to 99 and SCSIVIDEO_MASTER has at least two commas,
// the normal one is "SCSIVIDEO_MASTER=" + its value and the D1 one is
// "SCSIVIDEO_MASTER=" + first field + "," + the SCSI_D1 number + the value
// from its second comma on. Otherwise neither exists.
void InitVtrEnv();

// The prepared assignments ("NAME=value"), empty when none exists.
const std::string &VtrEnvNormal();
const std::string &VtrEnvD1();

// Hand the normal / D1 setting to the board library's preroll settings;
// nothing when it does not exist. Callable from job threads.
void SetSVJ_MODE();
void SetD1_MODE();
