#include "app/RealServices.h"

#include "app/LocalFileSystem.h"
#include "platform/InstanceLock.h"

RealServices::RealServices() : settingsFile(settings.fileName()) {
    processRunner.setChildRecordFile(InstanceLock::childRecordPath(settingsFile));
}

std::unique_ptr<FileSystem> RealServices::createFileSystem() {
    return std::make_unique<LocalFileSystem>();
}
