#pragma once

#include "app/FileSystem.h"
#include "app/SettingsStore.h"
#include "platform/ProcessRunner.h"

#include <memory>

// The services the launcher runs on, built in this one place for the window and the
// command line alike: the user's settings store, the local file system and the
// process runner, which keeps the record of its running child beside the settings
// (where the single-instance lock looks for it). Tests build fakes instead.
struct RealServices {
    RealServices();
    RealServices(const RealServices&) = delete;
    RealServices& operator=(const RealServices&) = delete;

    static std::unique_ptr<FileSystem> createFileSystem();

    IniSettingsStore settings;
    QString settingsFile; // the settings store's file
    QProcessRunner processRunner;
};
