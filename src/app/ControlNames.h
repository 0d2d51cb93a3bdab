#pragma once
#include "app/ControlName.h"

/// Every control, page and timer name the application model addresses. The identifier
/// and the bound name are one token, so the two cannot drift apart.
#define NJ_CONTROL(name) inline constexpr ControlName name(#name)

namespace nightjar::app::control {

// Pages and windows.
NJ_CONTROL(frmStatus);
NJ_CONTROL(frmScan);
NJ_CONTROL(frmResults);
NJ_CONTROL(frmQuarantine);
NJ_CONTROL(frmDownload);
NJ_CONTROL(frmSignatureUpdated);
NJ_CONTROL(frmDelete);
NJ_CONTROL(frmSpywareFoundAlert);
NJ_CONTROL(frmHomePageChangedAlert);

// Spyware alert window.
NJ_CONTROL(lblAlertFileName);
NJ_CONTROL(lblAlertCompanyName);
NJ_CONTROL(cmdYes);

// Options page: home-page shield.
NJ_CONTROL(optAlwaysnotifybeforerestoring);
NJ_CONTROL(optRestoredefaultwithoutnotification);

// Commands.
NJ_CONTROL(cmdScanNow);
NJ_CONTROL(cmdScan);
NJ_CONTROL(cmdLog);
NJ_CONTROL(cmdUpdate);
NJ_CONTROL(cmdStatus);
NJ_CONTROL(cmdStop);
NJ_CONTROL(cmdPause);
NJ_CONTROL(cmdRemove);
NJ_CONTROL(cmdResults);
NJ_CONTROL(cmdSettings);
NJ_CONTROL(cmdLiveUpdate);
NJ_CONTROL(cmdHijack);
NJ_CONTROL(Command4);

// Status panel.
NJ_CONTROL(lblDefCount);
NJ_CONTROL(lblVersion);
NJ_CONTROL(lblDefVersion);
NJ_CONTROL(lblDefRemoved);
NJ_CONTROL(lblLastScan);
NJ_CONTROL(lblLastFullScan);

// Scan page and results page.
NJ_CONTROL(lblStatus);
NJ_CONTROL(lblPercentageCompleted);
NJ_CONTROL(lblMemoryInspected);
NJ_CONTROL(lblRegistryInspected);
NJ_CONTROL(lblFilesFolderInspected);
NJ_CONTROL(lblSoftwareFound);
NJ_CONTROL(lblRemovePicSoftwareFound);
NJ_CONTROL(lbltracesFound);
NJ_CONTROL(lblTotalNoOfRunningItems);
NJ_CONTROL(lblDeletingCaption);
NJ_CONTROL(lblDeletingPercentageCompleted);
NJ_CONTROL(pgbDeleteSpywaresFound);
NJ_CONTROL(shpPhaseMarker);
NJ_CONTROL(pb1);
NJ_CONTROL(pb2);
NJ_CONTROL(pbgMain);

// Options page.
NJ_CONTROL(lvwHardDrives);

// Community submission: results page and options page.
NJ_CONTROL(cmdSubmit);
NJ_CONTROL(txtFilename);
NJ_CONTROL(Label26);
NJ_CONTROL(cmdFalsePos);
NJ_CONTROL(chkSendData);

// Live Update windows.
NJ_CONTROL(txtStatus);
NJ_CONTROL(lblUpdateInfo);

// Timers.
NJ_CONTROL(tmrScheduler);
NJ_CONTROL(tmrMemoryInspected);
NJ_CONTROL(tmrCheckHomePage);
NJ_CONTROL(tmrScroll);
NJ_CONTROL(tmrTimeOut);
NJ_CONTROL(timUpdate);

}  // namespace nightjar::app::control

#undef NJ_CONTROL
