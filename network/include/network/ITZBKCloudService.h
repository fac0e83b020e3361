// ITZBKCloudService: the interface of long-running services that run on a worker thread of their
// own (the installer service, one part of a multipart download).
//
// The owner thread calls StartService, StopService, Join and the destructor; the flags may be read
// from any thread. StopService(false), Pause and Resume throw TZBKException (kTZErrorInternal) in
// every service of this program.
#pragma once

class ITZBKCloudService {
public:
    virtual ~ITZBKCloudService() = default;
    virtual void StartService() = 0;
    virtual void StopService(const bool& inJoin) = 0;
    virtual void Pause() = 0;
    virtual void Resume() = 0;
    virtual void Join() = 0;
    virtual bool IsFinished() = 0;
    virtual bool IsSuccessful() = 0;
    virtual bool IsPaused() = 0;
    virtual void Run() = 0;
};
