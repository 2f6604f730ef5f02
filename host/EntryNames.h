// The module's export table: the names of ordinals 1 to 7, in order.
#pragma once

const char* const hookEntryNames[] = {
    "IsWs2",        "UninstInitialize", "UninstUnInitialize", "SetUninstallInfo",
    "GetVKTFolder", "CleanupDatabase",  "SetupServer"};
const int hookEntryCount = 7;
