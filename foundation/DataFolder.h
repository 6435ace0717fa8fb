// The per-user data folder of the program: <AppData>\Orvix\<product>\<description>\<sub>, or
// the program folder and <sub> for a service account and the configuration programs.
#pragma once

// Static per thread; not created here (callers create it). Sub-folders in use: "CFG", "LOG",
// "JOB".
const wchar_t* GetDataFolder(const wchar_t* subFolder);
