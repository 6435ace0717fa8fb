#include "telephony_support/TapiText.h"

#include "foundation/Format.h"

#include <qos.h>
#include <tapi.h>

#include <cwchar>

namespace {

struct TapiName {
    const wchar_t* name;
    DWORD value;
};

// Name without the set prefix, value from the system's header.
#define N(prefix, name) { L## #name, prefix##name }

// Value-to-text tables: the order is the output order.
const TapiName kLineAddrCapFlags[] = {
    N(LINEADDRCAPFLAGS_, ACCEPTTOALERT), N(LINEADDRCAPFLAGS_, ACDGROUP),
    N(LINEADDRCAPFLAGS_, AUTORECONNECT), N(LINEADDRCAPFLAGS_, BLOCKIDDEFAULT),
    N(LINEADDRCAPFLAGS_, BLOCKIDOVERRIDE), N(LINEADDRCAPFLAGS_, COMPLETIONID),
    N(LINEADDRCAPFLAGS_, CONFDROP), N(LINEADDRCAPFLAGS_, CONFERENCEHELD),
    N(LINEADDRCAPFLAGS_, CONFERENCEMAKE), N(LINEADDRCAPFLAGS_, DESTOFFHOOK),
    N(LINEADDRCAPFLAGS_, DIALED), N(LINEADDRCAPFLAGS_, FWDBUSYNAADDR),
    N(LINEADDRCAPFLAGS_, FWDCONSULT), N(LINEADDRCAPFLAGS_, FWDINTEXTADDR),
    N(LINEADDRCAPFLAGS_, FWDNUMRINGS), N(LINEADDRCAPFLAGS_, FWDSTATUSVALID),
    N(LINEADDRCAPFLAGS_, HOLDMAKESNEW), N(LINEADDRCAPFLAGS_, NOEXTERNALCALLS),
    N(LINEADDRCAPFLAGS_, ORIGOFFHOOK), N(LINEADDRCAPFLAGS_, PARTIALDIAL),
    N(LINEADDRCAPFLAGS_, PICKUPCALLWAIT), N(LINEADDRCAPFLAGS_, PICKUPGROUPID),
    N(LINEADDRCAPFLAGS_, PREDICTIVEDIALER), N(LINEADDRCAPFLAGS_, QUEUE),
    N(LINEADDRCAPFLAGS_, ROUTEPOINT), N(LINEADDRCAPFLAGS_, SECURE),
    N(LINEADDRCAPFLAGS_, SETCALLINGID), N(LINEADDRCAPFLAGS_, SETUPCONFNULL),
    N(LINEADDRCAPFLAGS_, TRANSFERHELD), N(LINEADDRCAPFLAGS_, TRANSFERMAKE),
};
const TapiName kLineAddrFeature[] = {
    N(LINEADDRFEATURE_, FORWARD), N(LINEADDRFEATURE_, MAKECALL), N(LINEADDRFEATURE_, PICKUP),
    N(LINEADDRFEATURE_, PICKUPDIRECT), N(LINEADDRFEATURE_, PICKUPGROUP),
    N(LINEADDRFEATURE_, PICKUPHELD), N(LINEADDRFEATURE_, PICKUPWAITING),
    N(LINEADDRFEATURE_, SETMEDIACONTROL), N(LINEADDRFEATURE_, SETTERMINAL),
    N(LINEADDRFEATURE_, SETUPCONF), N(LINEADDRFEATURE_, UNCOMPLETECALL),
    N(LINEADDRFEATURE_, UNPARK),
};
const TapiName kLineAddressMode[] = {
    N(LINEADDRESSMODE_, ADDRESSID), N(LINEADDRESSMODE_, DIALABLEADDR),
};
const TapiName kLineAddressSharing[] = {
    N(LINEADDRESSSHARING_, PRIVATE), N(LINEADDRESSSHARING_, BRIDGEDEXCL),
    N(LINEADDRESSSHARING_, BRIDGEDNEW), N(LINEADDRESSSHARING_, BRIDGEDSHARED),
    N(LINEADDRESSSHARING_, MONITORED),
};
const TapiName kLineAddressState[] = {
    N(LINEADDRESSSTATE_, CAPSCHANGE), N(LINEADDRESSSTATE_, DEVSPECIFIC),
    N(LINEADDRESSSTATE_, FORWARD), N(LINEADDRESSSTATE_, INUSEMANY), N(LINEADDRESSSTATE_, INUSEONE),
    N(LINEADDRESSSTATE_, INUSEZERO), N(LINEADDRESSSTATE_, NUMCALLS), N(LINEADDRESSSTATE_, OTHER),
    N(LINEADDRESSSTATE_, TERMINALS),
};
const TapiName kLineAgentFeature[] = {
    N(LINEAGENTFEATURE_, AGENTSPECIFIC), N(LINEAGENTFEATURE_, GETAGENTACTIVITYLIST),
    N(LINEAGENTFEATURE_, GETAGENTGROUP), N(LINEAGENTFEATURE_, SETAGENTACTIVITY),
    N(LINEAGENTFEATURE_, SETAGENTGROUP), N(LINEAGENTFEATURE_, SETAGENTSTATE),
};
const TapiName kLineAgentSessionState[] = {
    N(LINEAGENTSESSIONSTATE_, BUSYONCALL), N(LINEAGENTSESSIONSTATE_, BUSYWRAPUP),
    N(LINEAGENTSESSIONSTATE_, ENDED), N(LINEAGENTSESSIONSTATE_, NOTREADY),
    N(LINEAGENTSESSIONSTATE_, READY), N(LINEAGENTSESSIONSTATE_, RELEASED),
};
const TapiName kLineAgentStateEx[] = {
    N(LINEAGENTSTATEEX_, BUSYACD), N(LINEAGENTSTATEEX_, BUSYINCOMING),
    N(LINEAGENTSTATEEX_, BUSYOUTGOING), N(LINEAGENTSTATEEX_, NOTREADY), N(LINEAGENTSTATEEX_, READY),
    N(LINEAGENTSTATEEX_, RELEASED), N(LINEAGENTSTATEEX_, UNKNOWN),
};
const TapiName kLineAgentState[] = {
    N(LINEAGENTSTATE_, BUSYACD), N(LINEAGENTSTATE_, BUSYINCOMING), N(LINEAGENTSTATE_, BUSYOTHER),
    N(LINEAGENTSTATE_, BUSYOUTBOUND), N(LINEAGENTSTATE_, LOGGEDOFF), N(LINEAGENTSTATE_, NOTREADY),
    N(LINEAGENTSTATE_, READY), N(LINEAGENTSTATE_, UNAVAIL), N(LINEAGENTSTATE_, UNKNOWN),
    N(LINEAGENTSTATE_, WORKINGAFTERCALL),
};
const TapiName kLineAgentStatus[] = {
    N(LINEAGENTSTATUS_, ACTIVITY), N(LINEAGENTSTATUS_, ACTIVITYLIST),
    N(LINEAGENTSTATUS_, CAPSCHANGE), N(LINEAGENTSTATUS_, GROUP), N(LINEAGENTSTATUS_, GROUPLIST),
    N(LINEAGENTSTATUS_, NEXTSTATE), N(LINEAGENTSTATUS_, STATE),
    N(LINEAGENTSTATUS_, VALIDNEXTSTATES), N(LINEAGENTSTATUS_, VALIDSTATES),
};
const TapiName kLineAnswerMode[] = {
    N(LINEANSWERMODE_, DROP), N(LINEANSWERMODE_, HOLD), N(LINEANSWERMODE_, NONE),
};
const TapiName kLineBearerMode[] = {
    N(LINEBEARERMODE_, ALTSPEECHDATA), N(LINEBEARERMODE_, DATA), N(LINEBEARERMODE_, MULTIUSE),
    N(LINEBEARERMODE_, NONCALLSIGNALING), N(LINEBEARERMODE_, PASSTHROUGH),
    N(LINEBEARERMODE_, RESTRICTEDDATA), N(LINEBEARERMODE_, SPEECH), N(LINEBEARERMODE_, VOICE),
};
const TapiName kLineCallComplCond[] = {
    N(LINECALLCOMPLCOND_, BUSY), N(LINECALLCOMPLCOND_, NOANSWER),
};
const TapiName kLineCallComplMode[] = {
    N(LINECALLCOMPLMODE_, CALLBACK), N(LINECALLCOMPLMODE_, CAMPON), N(LINECALLCOMPLMODE_, INTRUDE),
    N(LINECALLCOMPLMODE_, MESSAGE),
};
const TapiName kLineCallFeature[] = {
    N(LINECALLFEATURE_, ACCEPT), N(LINECALLFEATURE_, ADDTOCONF), N(LINECALLFEATURE_, ANSWER),
    N(LINECALLFEATURE_, BLINDTRANSFER), N(LINECALLFEATURE_, COMPLETECALL),
    N(LINECALLFEATURE_, COMPLETETRANSF), N(LINECALLFEATURE_, DIAL), N(LINECALLFEATURE_, DROP),
    N(LINECALLFEATURE_, GATHERDIGITS), N(LINECALLFEATURE_, GENERATEDIGITS),
    N(LINECALLFEATURE_, GENERATETONE), N(LINECALLFEATURE_, HOLD),
    N(LINECALLFEATURE_, MONITORDIGITS), N(LINECALLFEATURE_, MONITORMEDIA),
    N(LINECALLFEATURE_, MONITORTONES), N(LINECALLFEATURE_, PARK),
    N(LINECALLFEATURE_, PREPAREADDCONF), N(LINECALLFEATURE_, REDIRECT),
    N(LINECALLFEATURE_, RELEASEUSERUSERINFO), N(LINECALLFEATURE_, REMOVEFROMCONF),
    N(LINECALLFEATURE_, SECURECALL), N(LINECALLFEATURE_, SENDUSERUSER),
    N(LINECALLFEATURE_, SETCALLDATA), N(LINECALLFEATURE_, SETCALLPARAMS),
    N(LINECALLFEATURE_, SETMEDIACONTROL), N(LINECALLFEATURE_, SETQOS),
    N(LINECALLFEATURE_, SETTERMINAL), N(LINECALLFEATURE_, SETTREATMENT),
    N(LINECALLFEATURE_, SETUPCONF), N(LINECALLFEATURE_, SETUPTRANSFER),
    N(LINECALLFEATURE_, SWAPHOLD), N(LINECALLFEATURE_, UNHOLD),
};
const TapiName kLineCallFeature2[] = {
    N(LINECALLFEATURE2_, COMPLCALLBACK), N(LINECALLFEATURE2_, COMPLCAMPON),
    N(LINECALLFEATURE2_, COMPLINTRUDE), N(LINECALLFEATURE2_, COMPLMESSAGE),
    N(LINECALLFEATURE2_, NOHOLDCONFERENCE), N(LINECALLFEATURE2_, ONESTEPTRANSFER),
    N(LINECALLFEATURE2_, TRANSFERCONF), N(LINECALLFEATURE2_, TRANSFERNORM),
    N(LINECALLFEATURE2_, PARKDIRECT), N(LINECALLFEATURE2_, PARKNONDIRECT),
};
const TapiName kLineCallInfoState[] = {
    N(LINECALLINFOSTATE_, APPSPECIFIC), N(LINECALLINFOSTATE_, BEARERMODE),
    N(LINECALLINFOSTATE_, CALLDATA), N(LINECALLINFOSTATE_, CALLEDID),
    N(LINECALLINFOSTATE_, CALLERID), N(LINECALLINFOSTATE_, CALLID),
    N(LINECALLINFOSTATE_, CHARGINGINFO), N(LINECALLINFOSTATE_, COMPLETIONID),
    N(LINECALLINFOSTATE_, CONNECTEDID), N(LINECALLINFOSTATE_, DEVSPECIFIC),
    N(LINECALLINFOSTATE_, DIALPARAMS), N(LINECALLINFOSTATE_, DISPLAY),
    N(LINECALLINFOSTATE_, HIGHLEVELCOMP), N(LINECALLINFOSTATE_, LOWLEVELCOMP),
    N(LINECALLINFOSTATE_, MEDIAMODE), N(LINECALLINFOSTATE_, MONITORMODES),
    N(LINECALLINFOSTATE_, NUMMONITORS), N(LINECALLINFOSTATE_, NUMOWNERDECR),
    N(LINECALLINFOSTATE_, NUMOWNERINCR), N(LINECALLINFOSTATE_, ORIGIN),
    N(LINECALLINFOSTATE_, OTHER), N(LINECALLINFOSTATE_, QOS), N(LINECALLINFOSTATE_, RATE),
    N(LINECALLINFOSTATE_, REASON), N(LINECALLINFOSTATE_, REDIRECTINGID),
    N(LINECALLINFOSTATE_, REDIRECTIONID), N(LINECALLINFOSTATE_, RELATEDCALLID),
    N(LINECALLINFOSTATE_, TERMINAL), N(LINECALLINFOSTATE_, TRUNK),
    N(LINECALLINFOSTATE_, USERUSERINFO),
};
const TapiName kLineCallParamFlags[] = {
    N(LINECALLPARAMFLAGS_, BLOCKID), N(LINECALLPARAMFLAGS_, DESTOFFHOOK),
    N(LINECALLPARAMFLAGS_, IDLE), N(LINECALLPARAMFLAGS_, NOHOLDCONFERENCE),
    N(LINECALLPARAMFLAGS_, ONESTEPTRANSFER), N(LINECALLPARAMFLAGS_, ORIGOFFHOOK),
    N(LINECALLPARAMFLAGS_, PREDICTIVEDIAL), N(LINECALLPARAMFLAGS_, SECURE),
};
const TapiName kLineCallPartyId[] = {
    N(LINECALLPARTYID_, ADDRESS), N(LINECALLPARTYID_, BLOCKED), N(LINECALLPARTYID_, NAME),
    N(LINECALLPARTYID_, OUTOFAREA), N(LINECALLPARTYID_, PARTIAL), N(LINECALLPARTYID_, UNAVAIL),
    N(LINECALLPARTYID_, UNKNOWN),
};
const TapiName kLineCallPrivilege[] = {
    N(LINECALLPRIVILEGE_, MONITOR), N(LINECALLPRIVILEGE_, NONE), N(LINECALLPRIVILEGE_, OWNER),
};
const TapiName kLineConnectedMode[] = {
    N(LINECONNECTEDMODE_, ACTIVE), N(LINECONNECTEDMODE_, ACTIVEHELD),
    N(LINECONNECTEDMODE_, CONFIRMED), N(LINECONNECTEDMODE_, INACTIVE),
    N(LINECONNECTEDMODE_, INACTIVEHELD),
};
const TapiName kLineDialToneMode[] = {
    N(LINEDIALTONEMODE_, EXTERNAL), N(LINEDIALTONEMODE_, INTERNAL), N(LINEDIALTONEMODE_, NORMAL),
    N(LINEDIALTONEMODE_, SPECIAL), N(LINEDIALTONEMODE_, UNAVAIL), N(LINEDIALTONEMODE_, UNKNOWN),
};
const TapiName kLineDisconnectMode[] = {
    N(LINEDISCONNECTMODE_, BADADDRESS), N(LINEDISCONNECTMODE_, BLOCKED),
    N(LINEDISCONNECTMODE_, BUSY), N(LINEDISCONNECTMODE_, CANCELLED),
    N(LINEDISCONNECTMODE_, CONGESTION), N(LINEDISCONNECTMODE_, DONOTDISTURB),
    N(LINEDISCONNECTMODE_, FORWARDED), N(LINEDISCONNECTMODE_, INCOMPATIBLE),
    N(LINEDISCONNECTMODE_, NOANSWER), N(LINEDISCONNECTMODE_, NODIALTONE),
    N(LINEDISCONNECTMODE_, NORMAL), N(LINEDISCONNECTMODE_, NUMBERCHANGED),
    N(LINEDISCONNECTMODE_, OUTOFORDER), N(LINEDISCONNECTMODE_, PICKUP),
    N(LINEDISCONNECTMODE_, QOSUNAVAIL), N(LINEDISCONNECTMODE_, REJECT),
    N(LINEDISCONNECTMODE_, TEMPFAILURE), N(LINEDISCONNECTMODE_, UNAVAIL),
    N(LINEDISCONNECTMODE_, UNKNOWN), N(LINEDISCONNECTMODE_, UNREACHABLE),
};
const TapiName kLineOfferingMode[] = {
    N(LINEOFFERINGMODE_, ACTIVE), N(LINEOFFERINGMODE_, INACTIVE),
};
const TapiName kLineSpecialInfo[] = {
    N(LINESPECIALINFO_, CUSTIRREG), N(LINESPECIALINFO_, NOCIRCUIT), N(LINESPECIALINFO_, REORDER),
    N(LINESPECIALINFO_, UNAVAIL), N(LINESPECIALINFO_, UNKNOWN),
};
const TapiName kLineCallState[] = {
    N(LINECALLSTATE_, IDLE), N(LINECALLSTATE_, OFFERING), N(LINECALLSTATE_, ACCEPTED),
    N(LINECALLSTATE_, DIALTONE), N(LINECALLSTATE_, DIALING), N(LINECALLSTATE_, RINGBACK),
    N(LINECALLSTATE_, BUSY), N(LINECALLSTATE_, SPECIALINFO), N(LINECALLSTATE_, CONNECTED),
    N(LINECALLSTATE_, PROCEEDING), N(LINECALLSTATE_, ONHOLD), N(LINECALLSTATE_, CONFERENCED),
    N(LINECALLSTATE_, ONHOLDPENDCONF), N(LINECALLSTATE_, ONHOLDPENDTRANSFER),
    N(LINECALLSTATE_, DISCONNECTED), N(LINECALLSTATE_, UNKNOWN),
};
const TapiName kLineCallTreatment[] = {
    N(LINECALLTREATMENT_, BUSY), N(LINECALLTREATMENT_, MUSIC), N(LINECALLTREATMENT_, RINGBACK),
    N(LINECALLTREATMENT_, SILENCE),
};
const TapiName kLineDevCapFlags[] = {
    N(LINEDEVCAPFLAGS_, CLOSEDROP), N(LINEDEVCAPFLAGS_, CROSSADDRCONF),
    N(LINEDEVCAPFLAGS_, DIALBILLING), N(LINEDEVCAPFLAGS_, DIALDIALTONE),
    N(LINEDEVCAPFLAGS_, DIALQUIET), N(LINEDEVCAPFLAGS_, HIGHLEVCOMP),
    N(LINEDEVCAPFLAGS_, LOWLEVCOMP), N(LINEDEVCAPFLAGS_, MULTIPLEADDR),
};
const TapiName kLineDevState[] = {
    N(LINEDEVSTATE_, BATTERY), N(LINEDEVSTATE_, CAPSCHANGE), N(LINEDEVSTATE_, CLOSE),
    N(LINEDEVSTATE_, CONFIGCHANGE), N(LINEDEVSTATE_, COMPLCANCEL), N(LINEDEVSTATE_, CONNECTED),
    N(LINEDEVSTATE_, DEVSPECIFIC), N(LINEDEVSTATE_, DISCONNECTED), N(LINEDEVSTATE_, INSERVICE),
    N(LINEDEVSTATE_, LOCK), N(LINEDEVSTATE_, MAINTENANCE), N(LINEDEVSTATE_, MSGWAITOFF),
    N(LINEDEVSTATE_, MSGWAITON), N(LINEDEVSTATE_, NUMCALLS), N(LINEDEVSTATE_, NUMCOMPLETIONS),
    N(LINEDEVSTATE_, OPEN), N(LINEDEVSTATE_, OTHER), N(LINEDEVSTATE_, OUTOFSERVICE),
    N(LINEDEVSTATE_, REINIT), N(LINEDEVSTATE_, REMOVED), N(LINEDEVSTATE_, RINGING),
    N(LINEDEVSTATE_, ROAMMODE), N(LINEDEVSTATE_, SIGNAL), N(LINEDEVSTATE_, TERMINALS),
    N(LINEDEVSTATE_, TRANSLATECHANGE),
};
const TapiName kLineDevStatusFlags[] = {
    N(LINEDEVSTATUSFLAGS_, CONNECTED), N(LINEDEVSTATUSFLAGS_, INSERVICE),
    N(LINEDEVSTATUSFLAGS_, LOCKED), N(LINEDEVSTATUSFLAGS_, MSGWAIT),
};
const TapiName kLineDigitMode[] = {
    N(LINEDIGITMODE_, DTMF), N(LINEDIGITMODE_, DTMFEND), N(LINEDIGITMODE_, PULSE),
};
const TapiName kLineFeature[] = {
    N(LINEFEATURE_, DEVSPECIFIC), N(LINEFEATURE_, DEVSPECIFICFEAT), N(LINEFEATURE_, FORWARD),
    N(LINEFEATURE_, FORWARDDND), N(LINEFEATURE_, FORWARDFWD), N(LINEFEATURE_, MAKECALL),
    N(LINEFEATURE_, SETDEVSTATUS), N(LINEFEATURE_, SETMEDIACONTROL), N(LINEFEATURE_, SETTERMINAL),
};
const TapiName kLineForwardMode[] = {
    N(LINEFORWARDMODE_, BUSY), N(LINEFORWARDMODE_, BUSYEXTERNAL), N(LINEFORWARDMODE_, BUSYINTERNAL),
    N(LINEFORWARDMODE_, BUSYNA), N(LINEFORWARDMODE_, BUSYNAEXTERNAL),
    N(LINEFORWARDMODE_, BUSYNAINTERNAL), N(LINEFORWARDMODE_, BUSYNASPECIFIC),
    N(LINEFORWARDMODE_, BUSYSPECIFIC), N(LINEFORWARDMODE_, NOANSW),
    N(LINEFORWARDMODE_, NOANSWEXTERNAL), N(LINEFORWARDMODE_, NOANSWINTERNAL),
    N(LINEFORWARDMODE_, NOANSWSPECIFIC), N(LINEFORWARDMODE_, UNAVAIL), N(LINEFORWARDMODE_, UNCOND),
    N(LINEFORWARDMODE_, UNCONDEXTERNAL), N(LINEFORWARDMODE_, UNCONDINTERNAL),
    N(LINEFORWARDMODE_, UNCONDSPECIFIC), N(LINEFORWARDMODE_, UNKNOWN),
};
const TapiName kLineGatherTerm[] = {
    N(LINEGATHERTERM_, BUFFERFULL), N(LINEGATHERTERM_, CANCEL), N(LINEGATHERTERM_, FIRSTTIMEOUT),
    N(LINEGATHERTERM_, INTERTIMEOUT), N(LINEGATHERTERM_, TERMDIGIT),
};
const TapiName kLineGenerateTerm[] = {
    N(LINEGENERATETERM_, CANCEL), N(LINEGENERATETERM_, DONE),
};
const TapiName kLineGroupStatus[] = {
    N(LINEGROUPSTATUS_, GROUPREMOVED), N(LINEGROUPSTATUS_, NEWGROUP),
};
const TapiName kLineMediaMode[] = {
    N(LINEMEDIAMODE_, AUTOMATEDVOICE), N(LINEMEDIAMODE_, DATAMODEM), N(LINEMEDIAMODE_, ADSI),
    N(LINEMEDIAMODE_, DIGITALDATA), N(LINEMEDIAMODE_, G3FAX), N(LINEMEDIAMODE_, G4FAX),
    N(LINEMEDIAMODE_, INTERACTIVEVOICE), N(LINEMEDIAMODE_, MIXED), N(LINEMEDIAMODE_, TDD),
    N(LINEMEDIAMODE_, TELETEX), N(LINEMEDIAMODE_, TELEX), N(LINEMEDIAMODE_, VIDEO),
    N(LINEMEDIAMODE_, VIDEOTEX), N(LINEMEDIAMODE_, VOICEVIEW), N(LINEMEDIAMODE_, UNKNOWN),
};
const TapiName kLineCallOrigin[] = {
    N(LINECALLORIGIN_, CONFERENCE), N(LINECALLORIGIN_, EXTERNAL), N(LINECALLORIGIN_, INBOUND),
    N(LINECALLORIGIN_, INTERNAL), N(LINECALLORIGIN_, OUTBOUND), N(LINECALLORIGIN_, UNAVAIL),
    N(LINECALLORIGIN_, UNKNOWN),
};
const TapiName kLineParkMode[] = {
    N(LINEPARKMODE_, DIRECTED), N(LINEPARKMODE_, NONDIRECTED),
};
const TapiName kLineProxyStatus[] = {
    N(LINEPROXYSTATUS_, ALLOPENFORACD), N(LINEPROXYSTATUS_, CLOSE), N(LINEPROXYSTATUS_, OPEN),
};
const TapiName kLineQueueStatus[] = {
    N(LINEQUEUESTATUS_, NEWQUEUE), N(LINEQUEUESTATUS_, QUEUEREMOVED),
    N(LINEQUEUESTATUS_, UPDATEINFO),
};
const TapiName kLineCallReason[] = {
    N(LINECALLREASON_, CALLCOMPLETION), N(LINECALLREASON_, CAMPEDON), N(LINECALLREASON_, DIRECT),
    N(LINECALLREASON_, FWDBUSY), N(LINECALLREASON_, FWDNOANSWER), N(LINECALLREASON_, FWDUNCOND),
    N(LINECALLREASON_, INTRUDE), N(LINECALLREASON_, PARKED), N(LINECALLREASON_, PICKUP),
    N(LINECALLREASON_, REDIRECT), N(LINECALLREASON_, REMINDER), N(LINECALLREASON_, ROUTEREQUEST),
    N(LINECALLREASON_, TRANSFER), N(LINECALLREASON_, UNAVAIL), N(LINECALLREASON_, UNKNOWN),
    N(LINECALLREASON_, UNPARK),
};
const TapiName kLineProxyRequest[] = {
    N(LINEPROXYREQUEST_, SETAGENTGROUP), N(LINEPROXYREQUEST_, SETAGENTSTATE),
    N(LINEPROXYREQUEST_, SETAGENTACTIVITY), N(LINEPROXYREQUEST_, GETAGENTCAPS),
    N(LINEPROXYREQUEST_, GETAGENTSTATUS), N(LINEPROXYREQUEST_, AGENTSPECIFIC),
    N(LINEPROXYREQUEST_, GETAGENTACTIVITYLIST), N(LINEPROXYREQUEST_, GETAGENTGROUPLIST),
    N(LINEPROXYREQUEST_, CREATEAGENT), N(LINEPROXYREQUEST_, SETAGENTMEASUREMENTPERIOD),
    N(LINEPROXYREQUEST_, GETAGENTINFO), N(LINEPROXYREQUEST_, CREATEAGENTSESSION),
    N(LINEPROXYREQUEST_, GETAGENTSESSIONLIST), N(LINEPROXYREQUEST_, SETAGENTSESSIONSTATE),
    N(LINEPROXYREQUEST_, GETAGENTSESSIONINFO), N(LINEPROXYREQUEST_, GETQUEUELIST),
    N(LINEPROXYREQUEST_, SETQUEUEMEASUREMENTPERIOD), N(LINEPROXYREQUEST_, GETQUEUEINFO),
    N(LINEPROXYREQUEST_, GETGROUPLIST), N(LINEPROXYREQUEST_, SETAGENTSTATEEX),
};
const TapiName kLineRemoveFromConf[] = {
    N(LINEREMOVEFROMCONF_, ANY), N(LINEREMOVEFROMCONF_, LAST), N(LINEREMOVEFROMCONF_, NONE),
};
const TapiName kLineRequestMode[] = {
    N(LINEREQUESTMODE_, DROP), N(LINEREQUESTMODE_, MAKECALL), N(LINEREQUESTMODE_, MEDIACALL),
};
const TapiName kLineRoamMode[] = {
    N(LINEROAMMODE_, HOME), N(LINEROAMMODE_, ROAMA), N(LINEROAMMODE_, ROAMB),
    N(LINEROAMMODE_, UNAVAIL), N(LINEROAMMODE_, UNKNOWN),
};
const TapiName kLineTermDev[] = {
    N(LINETERMDEV_, HEADSET), N(LINETERMDEV_, PHONE), N(LINETERMDEV_, SPEAKER),
};
const TapiName kLineTermMode[] = {
    N(LINETERMMODE_, BUTTONS), N(LINETERMMODE_, DISPLAY), N(LINETERMMODE_, HOOKSWITCH),
    N(LINETERMMODE_, LAMPS), N(LINETERMMODE_, MEDIABIDIRECT), N(LINETERMMODE_, MEDIAFROMLINE),
    N(LINETERMMODE_, MEDIATOLINE), N(LINETERMMODE_, RINGER),
};
const TapiName kLineTermSharing[] = {
    N(LINETERMSHARING_, PRIVATE), N(LINETERMSHARING_, SHAREDCONF), N(LINETERMSHARING_, SHAREDEXCL),
};
const TapiName kLineToneMode[] = {
    N(LINETONEMODE_, BEEP), N(LINETONEMODE_, BILLING), N(LINETONEMODE_, BUSY),
    N(LINETONEMODE_, CUSTOM), N(LINETONEMODE_, RINGBACK),
};
const TapiName kLineTransferMode[] = {
    N(LINETRANSFERMODE_, CONFERENCE), N(LINETRANSFERMODE_, TRANSFER),
};
const TapiName kStringFormat[] = {
    N(STRINGFORMAT_, ASCII), N(STRINGFORMAT_, BINARY), N(STRINGFORMAT_, DBCS),
    N(STRINGFORMAT_, UNICODE),
};
const TapiName kPhoneButtonFunction[] = {
    N(PHONEBUTTONFUNCTION_, ABBREVDIAL), N(PHONEBUTTONFUNCTION_, BUSY),
    N(PHONEBUTTONFUNCTION_, BRIDGEDAPP), N(PHONEBUTTONFUNCTION_, CALLAPP),
    N(PHONEBUTTONFUNCTION_, CALLID), N(PHONEBUTTONFUNCTION_, CAMPON),
    N(PHONEBUTTONFUNCTION_, COVER), N(PHONEBUTTONFUNCTION_, CONFERENCE),
    N(PHONEBUTTONFUNCTION_, CONNECT), N(PHONEBUTTONFUNCTION_, DATAOFF),
    N(PHONEBUTTONFUNCTION_, DATAON), N(PHONEBUTTONFUNCTION_, DATETIME),
    N(PHONEBUTTONFUNCTION_, DIRECTORY), N(PHONEBUTTONFUNCTION_, DISCONNECT),
    N(PHONEBUTTONFUNCTION_, DONOTDISTURB), N(PHONEBUTTONFUNCTION_, DROP),
    N(PHONEBUTTONFUNCTION_, FLASH), N(PHONEBUTTONFUNCTION_, FORWARD), N(PHONEBUTTONFUNCTION_, HOLD),
    N(PHONEBUTTONFUNCTION_, INTERCOM), N(PHONEBUTTONFUNCTION_, LASTNUM),
    N(PHONEBUTTONFUNCTION_, MSGINDICATOR), N(PHONEBUTTONFUNCTION_, MSGWAITOFF),
    N(PHONEBUTTONFUNCTION_, MSGWAITON), N(PHONEBUTTONFUNCTION_, MUTE),
    N(PHONEBUTTONFUNCTION_, NIGHTSRV), N(PHONEBUTTONFUNCTION_, NONE), N(PHONEBUTTONFUNCTION_, PARK),
    N(PHONEBUTTONFUNCTION_, PICKUP), N(PHONEBUTTONFUNCTION_, QUEUECALL),
    N(PHONEBUTTONFUNCTION_, RECALL), N(PHONEBUTTONFUNCTION_, REDIRECT),
    N(PHONEBUTTONFUNCTION_, REJECT), N(PHONEBUTTONFUNCTION_, REPDIAL),
    N(PHONEBUTTONFUNCTION_, RINGAGAIN), N(PHONEBUTTONFUNCTION_, SAVEREPEAT),
    N(PHONEBUTTONFUNCTION_, SELECTRING), N(PHONEBUTTONFUNCTION_, SETREPDIAL),
    N(PHONEBUTTONFUNCTION_, SENDCALLS), N(PHONEBUTTONFUNCTION_, SPEAKEROFF),
    N(PHONEBUTTONFUNCTION_, SPEAKERON), N(PHONEBUTTONFUNCTION_, STATIONSPEED),
    N(PHONEBUTTONFUNCTION_, SYSTEMSPEED), N(PHONEBUTTONFUNCTION_, TRANSFER),
    N(PHONEBUTTONFUNCTION_, UNKNOWN), N(PHONEBUTTONFUNCTION_, VOLUMEDOWN),
    N(PHONEBUTTONFUNCTION_, VOLUMEUP),
};
const TapiName kPhoneButtonMode[] = {
    N(PHONEBUTTONMODE_, CALL), N(PHONEBUTTONMODE_, DISPLAY), N(PHONEBUTTONMODE_, DUMMY),
    N(PHONEBUTTONMODE_, FEATURE), N(PHONEBUTTONMODE_, KEYPAD), N(PHONEBUTTONMODE_, LOCAL),
};
const TapiName kPhoneButtonState[] = {
    N(PHONEBUTTONSTATE_, DOWN), N(PHONEBUTTONSTATE_, UNAVAIL), N(PHONEBUTTONSTATE_, UNKNOWN),
    N(PHONEBUTTONSTATE_, UP),
};
const TapiName kPhoneFeature[] = {
    N(PHONEFEATURE_, GETBUTTONINFO), N(PHONEFEATURE_, GETDATA), N(PHONEFEATURE_, GETDISPLAY),
    N(PHONEFEATURE_, GETGAINHANDSET), N(PHONEFEATURE_, GETGAINSPEAKER),
    N(PHONEFEATURE_, GETGAINHEADSET), N(PHONEFEATURE_, GETHOOKSWITCHHANDSET),
    N(PHONEFEATURE_, GETHOOKSWITCHSPEAKER), N(PHONEFEATURE_, GETHOOKSWITCHHEADSET),
    N(PHONEFEATURE_, GETLAMP), N(PHONEFEATURE_, GETRING), N(PHONEFEATURE_, GETVOLUMEHANDSET),
    N(PHONEFEATURE_, GETVOLUMESPEAKER), N(PHONEFEATURE_, GETVOLUMEHEADSET),
    N(PHONEFEATURE_, SETBUTTONINFO), N(PHONEFEATURE_, SETDATA), N(PHONEFEATURE_, SETDISPLAY),
    N(PHONEFEATURE_, SETGAINHANDSET), N(PHONEFEATURE_, SETGAINSPEAKER),
    N(PHONEFEATURE_, SETGAINHEADSET), N(PHONEFEATURE_, SETHOOKSWITCHHANDSET),
    N(PHONEFEATURE_, SETHOOKSWITCHSPEAKER), N(PHONEFEATURE_, SETHOOKSWITCHHEADSET),
    N(PHONEFEATURE_, SETLAMP), N(PHONEFEATURE_, SETRING), N(PHONEFEATURE_, SETVOLUMEHANDSET),
    N(PHONEFEATURE_, SETVOLUMESPEAKER), N(PHONEFEATURE_, SETVOLUMEHEADSET),
};
const TapiName kPhoneHookSwitchDev[] = {
    N(PHONEHOOKSWITCHDEV_, HANDSET), N(PHONEHOOKSWITCHDEV_, HEADSET),
    N(PHONEHOOKSWITCHDEV_, SPEAKER),
};
const TapiName kPhoneHookSwitchMode[] = {
    N(PHONEHOOKSWITCHMODE_, MIC), N(PHONEHOOKSWITCHMODE_, MICSPEAKER),
    N(PHONEHOOKSWITCHMODE_, ONHOOK), N(PHONEHOOKSWITCHMODE_, SPEAKER),
    N(PHONEHOOKSWITCHMODE_, UNKNOWN),
};
const TapiName kPhoneLampMode[] = {
    N(PHONELAMPMODE_, DUMMY), N(PHONELAMPMODE_, BROKENFLUTTER), N(PHONELAMPMODE_, FLASH),
    N(PHONELAMPMODE_, FLUTTER), N(PHONELAMPMODE_, OFF), N(PHONELAMPMODE_, STEADY),
    N(PHONELAMPMODE_, UNKNOWN), N(PHONELAMPMODE_, WINK),
};
const TapiName kPhonePrivilege[] = {
    N(PHONEPRIVILEGE_, MONITOR), N(PHONEPRIVILEGE_, OWNER),
};
const TapiName kPhoneState[] = {
    N(PHONESTATE_, CAPSCHANGE), N(PHONESTATE_, CONNECTED), N(PHONESTATE_, DEVSPECIFIC),
    N(PHONESTATE_, DISCONNECTED), N(PHONESTATE_, DISPLAY), N(PHONESTATE_, HANDSETGAIN),
    N(PHONESTATE_, HANDSETHOOKSWITCH), N(PHONESTATE_, HANDSETVOLUME),
    N(PHONESTATE_, HEADSETHOOKSWITCH), N(PHONESTATE_, HEADSETGAIN), N(PHONESTATE_, HEADSETVOLUME),
    N(PHONESTATE_, LAMP), N(PHONESTATE_, MONITORS), N(PHONESTATE_, OTHER), N(PHONESTATE_, OWNER),
    N(PHONESTATE_, REINIT), N(PHONESTATE_, REMOVED), N(PHONESTATE_, RESUME),
    N(PHONESTATE_, RINGMODE), N(PHONESTATE_, RINGVOLUME), N(PHONESTATE_, SPEAKERHOOKSWITCH),
    N(PHONESTATE_, SPEAKERGAIN), N(PHONESTATE_, SPEAKERVOLUME), N(PHONESTATE_, SUSPEND),
};
const TapiName kPhoneStatusFlags[] = {
    N(PHONESTATUSFLAGS_, CONNECTED), N(PHONESTATUSFLAGS_, SUSPENDED),
};

// This product's own set of line-device kinds.
const TapiName kDeviceKind[] = {
    { L"STATION", 1 }, { L"TRUNK", 2 }, { L"UNKNOWN", 4 }, { L"UNAVAIL", 8 },
};

// Text-to-value tables that differ from their value-to-text partner. Where the first match
// decides, a name that contains another name of the set is tested before it.
const TapiName kTextToLineBearerMode[] = {
    N(LINEBEARERMODE_, ALTSPEECHDATA), N(LINEBEARERMODE_, DATA), N(LINEBEARERMODE_, MULTIUSE),
    N(LINEBEARERMODE_, NONCALLSIGNALING), N(LINEBEARERMODE_, RESTRICTEDDATA),
    N(LINEBEARERMODE_, SPEECH), N(LINEBEARERMODE_, VOICE),
};
const TapiName kTextToLineCallPrivilege[] = {
    N(LINECALLPRIVILEGE_, MONITOR), N(LINECALLPRIVILEGE_, NONE), N(LINECALLPRIVILEGE_, OWNER),
    { L"PROXY", LINEOPENOPTION_PROXY }, { L"SINGLEADDRESS", LINEOPENOPTION_SINGLEADDRESS },
};
const TapiName kTextToLineConnectedMode[] = {
    N(LINECONNECTEDMODE_, INACTIVEHELD), N(LINECONNECTEDMODE_, INACTIVE),
    N(LINECONNECTEDMODE_, ACTIVEHELD), N(LINECONNECTEDMODE_, ACTIVE),
    N(LINECONNECTEDMODE_, CONFIRMED),
};
const TapiName kTextToLineOfferingMode[] = {
    N(LINEOFFERINGMODE_, INACTIVE), N(LINEOFFERINGMODE_, ACTIVE),
};
const TapiName kTextToLineDigitMode[] = {
    N(LINEDIGITMODE_, DTMFEND), N(LINEDIGITMODE_, DTMF), N(LINEDIGITMODE_, PULSE),
};
const TapiName kTextToLineForwardMode[] = {
    N(LINEFORWARDMODE_, BUSYEXTERNAL), N(LINEFORWARDMODE_, BUSYINTERNAL),
    N(LINEFORWARDMODE_, BUSYNAEXTERNAL), N(LINEFORWARDMODE_, BUSYNAINTERNAL),
    N(LINEFORWARDMODE_, BUSYNASPECIFIC), N(LINEFORWARDMODE_, BUSYSPECIFIC),
    N(LINEFORWARDMODE_, BUSYNA), N(LINEFORWARDMODE_, BUSY),
    N(LINEFORWARDMODE_, NOANSWEXTERNAL), N(LINEFORWARDMODE_, NOANSWINTERNAL),
    N(LINEFORWARDMODE_, NOANSWSPECIFIC), N(LINEFORWARDMODE_, NOANSW),
    N(LINEFORWARDMODE_, UNAVAIL), N(LINEFORWARDMODE_, UNCONDEXTERNAL),
    N(LINEFORWARDMODE_, UNCONDINTERNAL), N(LINEFORWARDMODE_, UNCONDSPECIFIC),
    N(LINEFORWARDMODE_, UNKNOWN), N(LINEFORWARDMODE_, UNCOND),
};
const TapiName kTextToLineParkMode[] = {
    N(LINEPARKMODE_, NONDIRECTED), N(LINEPARKMODE_, DIRECTED),
};
const TapiName kTextToLineTransferMode[] = {
    N(LINETRANSFERMODE_, TRANSFER), N(LINETRANSFERMODE_, CONFERENCE),
};
const TapiName kTextToPhoneHookSwitchMode[] = {
    N(PHONEHOOKSWITCHMODE_, MICSPEAKER), N(PHONEHOOKSWITCHMODE_, MIC),
    N(PHONEHOOKSWITCHMODE_, ONHOOK), N(PHONEHOOKSWITCHMODE_, SPEAKER),
    N(PHONEHOOKSWITCHMODE_, UNKNOWN),
};

// Sets that are only read from text.
const TapiName kLineCallSelect[] = {
    N(LINECALLSELECT_, ADDRESS), N(LINECALLSELECT_, DEVICEID), N(LINECALLSELECT_, CALL),
    N(LINECALLSELECT_, LINE),
};
const TapiName kLineMessage[] = {
    N(LINE_, ADDRESSSTATE), N(LINE_, CALLINFO), N(LINE_, CALLSTATE), N(LINE_, DEVSPECIFICFEATURE),
    N(LINE_, DEVSPECIFIC), N(LINE_, GATHERDIGITS), N(LINE_, GENERATE), N(LINE_, LINEDEVSTATE),
    N(LINE_, MONITORDIGITS), N(LINE_, MONITORMEDIA), N(LINE_, MONITORTONE), N(LINE_, AGENTSPECIFIC),
    N(LINE_, AGENTSTATUSEX), N(LINE_, AGENTSTATUS), N(LINE_, APPNEWCALL), N(LINE_, PROXYREQUEST),
    N(LINE_, AGENTSESSIONSTATUS), N(LINE_, QUEUESTATUS), N(LINE_, GROUPSTATUS),
    N(LINE_, PROXYSTATUS), N(LINE_, CLOSE), N(LINE_, CREATE), N(LINE_, REMOVE), N(LINE_, REPLY),
    N(LINE_, REQUEST),
};
const TapiName kLineMediaControl[] = {
    N(LINEMEDIACONTROL_, NONE), N(LINEMEDIACONTROL_, PAUSE), N(LINEMEDIACONTROL_, RATEDOWN),
    N(LINEMEDIACONTROL_, RATENORMAL), N(LINEMEDIACONTROL_, RATEUP), N(LINEMEDIACONTROL_, RESET),
    N(LINEMEDIACONTROL_, RESUME), N(LINEMEDIACONTROL_, START), N(LINEMEDIACONTROL_, VOLUMEDOWN),
    N(LINEMEDIACONTROL_, VOLUMENORMAL), N(LINEMEDIACONTROL_, VOLUMEUP),
};
const TapiName kQosServiceType[] = {
    N(SERVICETYPE_, NOTRAFFIC), N(SERVICETYPE_, BESTEFFORT), N(SERVICETYPE_, CONTROLLEDLOAD),
    N(SERVICETYPE_, GUARANTEED), N(SERVICETYPE_, NETWORK_UNAVAILABLE),
    N(SERVICETYPE_, GENERAL_INFORMATION), N(SERVICETYPE_, NOCHANGE), N(SERVICETYPE_, NONCONFORMING),
    N(SERVICETYPE_, NETWORK_CONTROL), N(SERVICETYPE_, QUALITATIVE),
};
const TapiName kPhoneMessage[] = {
    N(PHONE_, BUTTON), N(PHONE_, CLOSE), N(PHONE_, DEVSPECIFIC), N(PHONE_, REPLY), N(PHONE_, STATE),
    N(PHONE_, CREATE), N(PHONE_, REMOVE),
};

#undef N
#define TABLE(t) t, _countof(t)

enum SetKind { kFlags, kEnumeration, kEnumerationNoBlank, kFlagsWithDecimal };

const wchar_t* RenderConstants(wchar_t* text, size_t capacity, const TapiName* names, size_t count,
                               DWORD value, SetKind kind, BOOL verbose)
{
    text[0] = L'\0';
    if (verbose) {
        if (kind == kFlagsWithDecimal)
            FormatW(text, capacity, L"0x%08X %u (", value, value);
        else
            FormatW(text, capacity, L"0x%08X (", value);
    }
    bool any = false;
    for (size_t i = 0; i < count; ++i) {
        bool applies = (kind == kFlags || kind == kFlagsWithDecimal) ? (value & names[i].value) != 0
                                                                      : value == names[i].value;
        if (!applies)
            continue;
        any = true;
        AppendText(text, capacity, names[i].name);
        if (kind != kEnumerationNoBlank)
            AppendText(text, capacity, L" ");
    }
    if (!verbose) {
        JoinConstantNames(text);
        return text;
    }
    if (!any)
        AppendText(text, capacity, L"None");
    AppendText(text, capacity, L")");
    return text;
}

// The upper-cased working copy of a text to be read: at most 62 characters.
struct ConstantText {
    wchar_t text[64];
    explicit ConstantText(const wchar_t* source)
    {
        CopyText(text, 63, source);
        CharUpperBuffW(text, static_cast<DWORD>(wcslen(text)));
    }
};

// True when the occurrence of names[index] at pos is part of a longer name of the set, as
// READY is part of NOTREADY: such an occurrence does not name the shorter constant.
bool InsideLongerName(const wchar_t* text, const wchar_t* pos, const TapiName* names, size_t count,
                      size_t index)
{
    const wchar_t* name = names[index].name;
    size_t length = wcslen(name);
    for (size_t j = 0; j < count; ++j) {
        const wchar_t* longer = names[j].name;
        size_t longerLength = wcslen(longer);
        if (j == index || longerLength <= length)
            continue;
        for (const wchar_t* at = wcsstr(longer, name); at; at = wcsstr(at + 1, name)) {
            size_t offset = static_cast<size_t>(at - longer);
            if (static_cast<size_t>(pos - text) >= offset && wcsncmp(pos - offset, longer, longerLength) == 0)
                return true;
        }
    }
    return false;
}

// How an all-matches set finds one of its names in the text.
enum NameRule {
    kAnywhere,  // on its own anywhere
    kAfterBar,  // on its own, at the start of the text or right after '|'
    kOnHold,    // the whole text, followed by '|', or as the first "|ONHOLD" at the very end
};
typedef NameRule (*NameRuleFor)(const wchar_t* name);

NameRule AnywhereRule(const wchar_t*) { return kAnywhere; }
NameRule ConnectedRule(const wchar_t* name) { return wcscmp(name, L"CONNECTED") == 0 ? kAfterBar : kAnywhere; }
NameRule VideoRule(const wchar_t* name) { return wcscmp(name, L"VIDEO") == 0 ? kAfterBar : kAnywhere; }
NameRule CallStateRule(const wchar_t* name)
{
    return wcscmp(name, L"ONHOLD") == 0 ? kOnHold : ConnectedRule(name);
}

bool NameOccurs(const wchar_t* text, const TapiName* names, size_t count, size_t index, NameRule rule)
{
    const wchar_t* name = names[index].name;
    if (rule == kOnHold) {
        if (lstrcmpiW(text, name) == 0 || wcsstr(text, L"ONHOLD|"))
            return true;
        const wchar_t* bar = wcsstr(text, L"|ONHOLD");
        return bar && bar[7] == L'\0';
    }
    for (const wchar_t* pos = wcsstr(text, name); pos; pos = wcsstr(pos + 1, name)) {
        if (rule == kAfterBar && pos != text && pos[-1] != L'|')
            continue;
        if (!InsideLongerName(text, pos, names, count, index))
            return true;
    }
    return false;
}

DWORD MatchAll(const wchar_t* source, const TapiName* names, size_t count, NameRuleFor ruleFor = AnywhereRule)
{
    ConstantText copy(source);
    DWORD result = 0;
    for (size_t i = 0; i < count; ++i) {
        if (NameOccurs(copy.text, names, count, i, ruleFor(names[i].name)))
            result |= names[i].value;
    }
    ParseConstantNumber(&result, copy.text);
    return result;
}

DWORD MatchFirst(const wchar_t* source, const TapiName* names, size_t count)
{
    ConstantText copy(source);
    DWORD result = 0;
    for (size_t i = 0; i < count; ++i) {
        if (wcsstr(copy.text, names[i].name)) {
            result = names[i].value;
            break;
        }
    }
    ParseConstantNumber(&result, copy.text);
    return result;
}

DWORD MatchWhole(const wchar_t* source, const TapiName* names, size_t count, const wchar_t* left = nullptr)
{
    ConstantText copy(source);
    DWORD result = 0;
    for (size_t i = 0; i < count; ++i) {
        if (left && wcscmp(names[i].name, left) == 0)
            continue;
        if (lstrcmpiW(copy.text, names[i].name) == 0) {
            result = names[i].value;
            break;
        }
    }
    ParseConstantNumber(&result, copy.text);
    return result;
}

int DigitValue(wchar_t ch, int base)
{
    if (ch >= L'0' && ch <= L'9')
        return ch - L'0';
    if (base == 16 && ch >= L'A' && ch <= L'F')
        return ch - L'A' + 10;
    if (base == 16 && ch >= L'a' && ch <= L'f')
        return ch - L'a' + 10;
    return -1;
}

}  // namespace

void JoinConstantNames(wchar_t* text)
{
    if (!text || !text[0])
        return;
    text[wcslen(text) - 1] = L'\0';
    for (wchar_t* p = text; *p; ++p) {
        if (*p == L' ')
            *p = L'|';
    }
}

void ParseConstantNumber(DWORD* result, const wchar_t* text)
{
    if (!result || *result != 0 || !text)
        return;
    int base = 10;
    if (text[0] == L'0' && text[1] == L'X') {
        base = 16;
        text += 2;
    } else if (DigitValue(text[0], 10) < 0) {
        return;
    }
    unsigned long long value = 0;
    for (int digit; (digit = DigitValue(*text, base)) >= 0; ++text) {
        value = value * base + digit;
        if (value > 0xFFFFFFFFull)
            value = 0xFFFFFFFFull + 1;  // stays out of range until the end
    }
    *result = value > 0xFFFFFFFFull ? 0xFFFFFFFFul : static_cast<DWORD>(value);
}

const wchar_t* LineAddrCapFlagsToText(DWORD value)
{
    thread_local wchar_t text[1023];
    return RenderConstants(text, _countof(text), TABLE(kLineAddrCapFlags), value, kFlags, TRUE);
}

const wchar_t* LineAddrFeatureToText(DWORD value)
{
    thread_local wchar_t text[1023];
    return RenderConstants(text, _countof(text), TABLE(kLineAddrFeature), value, kFlags, TRUE);
}

const wchar_t* LineAddressModeToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineAddressMode), value, kFlags, TRUE);
}

const wchar_t* LineAddressSharingToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineAddressSharing), value, kFlags, TRUE);
}

const wchar_t* LineAddressStateToText(DWORD value, BOOL verbose)
{
    thread_local wchar_t text[1023];
    return RenderConstants(text, _countof(text), TABLE(kLineAddressState), value, kFlags, verbose);
}

DWORD TextToLineAddressState(const wchar_t* text) { return MatchAll(text, TABLE(kLineAddressState)); }

const wchar_t* LineAgentFeatureToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineAgentFeature), value, kFlags, TRUE);
}

const wchar_t* LineAgentSessionStateToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineAgentSessionState), value, kFlags, TRUE);
}

const wchar_t* LineAgentStateExToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineAgentStateEx), value, kFlags, TRUE);
}

const wchar_t* LineAgentStateToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineAgentState), value, kFlags, TRUE);
}

DWORD TextToLineAgentState(const wchar_t* text) { return MatchAll(text, TABLE(kLineAgentState)); }

const wchar_t* LineAgentStatusToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineAgentStatus), value, kFlags, TRUE);
}

const wchar_t* LineAnswerModeToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineAnswerMode), value, kFlags, TRUE);
}

const wchar_t* LineBearerModeToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineBearerMode), value, kFlags, TRUE);
}

DWORD TextToLineBearerMode(const wchar_t* text) { return MatchAll(text, TABLE(kTextToLineBearerMode)); }

const wchar_t* LineCallComplCondToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineCallComplCond), value, kFlags, TRUE);
}

const wchar_t* LineCallComplModeToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineCallComplMode), value, kFlags, TRUE);
}

DWORD TextToLineCallComplMode(const wchar_t* text) { return MatchFirst(text, TABLE(kLineCallComplMode)); }

const wchar_t* LineCallFeatureToText(DWORD value)
{
    thread_local wchar_t text[1023];
    return RenderConstants(text, _countof(text), TABLE(kLineCallFeature), value, kFlags, TRUE);
}

const wchar_t* LineCallFeature2ToText(DWORD value)
{
    thread_local wchar_t text[1023];
    return RenderConstants(text, _countof(text), TABLE(kLineCallFeature2), value, kFlags, TRUE);
}

const wchar_t* LineCallInfoStateToText(DWORD value, BOOL verbose)
{
    thread_local wchar_t text[1023];
    return RenderConstants(text, _countof(text), TABLE(kLineCallInfoState), value, kFlagsWithDecimal, verbose);
}

DWORD TextToLineCallInfoState(const wchar_t* text) { return MatchAll(text, TABLE(kLineCallInfoState)); }

const wchar_t* LineCallParamFlagsToText(DWORD value)
{
    thread_local wchar_t text[1023];
    return RenderConstants(text, _countof(text), TABLE(kLineCallParamFlags), value, kFlags, TRUE);
}

const wchar_t* LineCallPartyIdToText(DWORD value)
{
    thread_local wchar_t text[1023];
    return RenderConstants(text, _countof(text), TABLE(kLineCallPartyId), value, kFlags, TRUE);
}

const wchar_t* LineCallPrivilegeToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineCallPrivilege), value, kFlags, TRUE);
}

DWORD TextToLineCallPrivilege(const wchar_t* text) { return MatchAll(text, TABLE(kTextToLineCallPrivilege)); }

const wchar_t* DeviceKindToText(DWORD value, BOOL verbose)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kDeviceKind), value, kFlags, verbose);
}

DWORD TextToDeviceKind(const wchar_t* text) { return MatchFirst(text, TABLE(kDeviceKind)); }

const wchar_t* LineConnectedModeToText(DWORD value, BOOL verbose)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineConnectedMode), value, kFlags, verbose);
}

DWORD TextToLineConnectedMode(const wchar_t* text) { return MatchFirst(text, TABLE(kTextToLineConnectedMode)); }

const wchar_t* LineDialToneModeToText(DWORD value, BOOL verbose)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineDialToneMode), value, kFlags, verbose);
}

DWORD TextToLineDialToneMode(const wchar_t* text) { return MatchFirst(text, TABLE(kLineDialToneMode)); }

const wchar_t* LineDisconnectModeToText(DWORD value, BOOL verbose)
{
    thread_local wchar_t text[1023];
    return RenderConstants(text, _countof(text), TABLE(kLineDisconnectMode), value, kFlags, verbose);
}

DWORD TextToLineDisconnectMode(const wchar_t* text) { return MatchFirst(text, TABLE(kLineDisconnectMode)); }

const wchar_t* LineOfferingModeToText(DWORD value, BOOL verbose)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineOfferingMode), value, kFlags, verbose);
}

DWORD TextToLineOfferingMode(const wchar_t* text) { return MatchFirst(text, TABLE(kTextToLineOfferingMode)); }

const wchar_t* LineSpecialInfoToText(DWORD value, BOOL verbose)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineSpecialInfo), value, kFlags, verbose);
}

DWORD TextToLineSpecialInfo(const wchar_t* text) { return MatchFirst(text, TABLE(kLineSpecialInfo)); }

const wchar_t* LineCallStateToText(DWORD value, BOOL verbose)
{
    thread_local wchar_t text[1023];
    return RenderConstants(text, _countof(text), TABLE(kLineCallState), value, kFlags, verbose);
}

DWORD TextToLineCallState(const wchar_t* text) { return MatchAll(text, TABLE(kLineCallState), CallStateRule); }

const wchar_t* LineCallTreatmentToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineCallTreatment), value, kEnumerationNoBlank, TRUE);
}

DWORD TextToLineCallTreatment(const wchar_t* text) { return MatchAll(text, TABLE(kLineCallTreatment)); }

const wchar_t* LineDevCapFlagsToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineDevCapFlags), value, kFlags, TRUE);
}

const wchar_t* LineDevStateToText(DWORD value, BOOL verbose)
{
    thread_local wchar_t text[1023];
    return RenderConstants(text, _countof(text), TABLE(kLineDevState), value, kFlags, verbose);
}

DWORD TextToLineDevState(const wchar_t* text) { return MatchAll(text, TABLE(kLineDevState), ConnectedRule); }

const wchar_t* LineDevStatusFlagsToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineDevStatusFlags), value, kFlags, TRUE);
}

DWORD TextToLineDevStatusFlags(const wchar_t* text) { return MatchAll(text, TABLE(kLineDevStatusFlags)); }

const wchar_t* LineDigitModeToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineDigitMode), value, kFlags, TRUE);
}

DWORD TextToLineDigitMode(const wchar_t* text) { return MatchFirst(text, TABLE(kTextToLineDigitMode)); }

const wchar_t* LineFeatureToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineFeature), value, kFlags, TRUE);
}

const wchar_t* LineForwardModeToText(DWORD value)
{
    thread_local wchar_t text[1023];
    return RenderConstants(text, _countof(text), TABLE(kLineForwardMode), value, kFlags, TRUE);
}

DWORD TextToLineForwardMode(const wchar_t* text) { return MatchFirst(text, TABLE(kTextToLineForwardMode)); }

const wchar_t* LineGatherTermToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineGatherTerm), value, kFlags, TRUE);
}

const wchar_t* LineGenerateTermToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineGenerateTerm), value, kFlags, TRUE);
}

const wchar_t* LineGroupStatusToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineGroupStatus), value, kFlags, TRUE);
}

const wchar_t* LineMediaModeToText(DWORD value)
{
    thread_local wchar_t text[1023];
    return RenderConstants(text, _countof(text), TABLE(kLineMediaMode), value, kFlags, TRUE);
}

DWORD TextToLineMediaMode(const wchar_t* text) { return MatchAll(text, TABLE(kLineMediaMode), VideoRule); }

const wchar_t* LineCallOriginToText(DWORD value, BOOL verbose)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineCallOrigin), value, kFlags, verbose);
}

DWORD TextToLineCallOrigin(const wchar_t* text) { return MatchAll(text, TABLE(kLineCallOrigin)); }

const wchar_t* LineParkModeToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineParkMode), value, kFlags, TRUE);
}

DWORD TextToLineParkMode(const wchar_t* text) { return MatchFirst(text, TABLE(kTextToLineParkMode)); }

const wchar_t* LineProxyStatusToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineProxyStatus), value, kFlags, TRUE);
}

const wchar_t* LineQueueStatusToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineQueueStatus), value, kFlags, TRUE);
}

const wchar_t* LineCallReasonToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineCallReason), value, kFlags, TRUE);
}

const wchar_t* LineProxyRequestToText(DWORD value)
{
    thread_local wchar_t text[1023];
    return RenderConstants(text, _countof(text), TABLE(kLineProxyRequest), value, kEnumeration, TRUE);
}

const wchar_t* LineRemoveFromConfToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineRemoveFromConf), value, kEnumeration, TRUE);
}

const wchar_t* LineRequestModeToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineRequestMode), value, kFlags, TRUE);
}

const wchar_t* LineRoamModeToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineRoamMode), value, kFlags, TRUE);
}

const wchar_t* LineTermDevToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineTermDev), value, kFlags, TRUE);
}

const wchar_t* LineTermModeToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineTermMode), value, kFlags, TRUE);
}

DWORD TextToLineTermMode(const wchar_t* text) { return MatchAll(text, TABLE(kLineTermMode)); }

const wchar_t* LineTermSharingToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineTermSharing), value, kFlags, TRUE);
}

const wchar_t* LineToneModeToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineToneMode), value, kFlags, TRUE);
}

DWORD TextToLineToneMode(const wchar_t* text) { return MatchAll(text, TABLE(kLineToneMode)); }

const wchar_t* LineTransferModeToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kLineTransferMode), value, kFlags, TRUE);
}

DWORD TextToLineTransferMode(const wchar_t* text) { return MatchFirst(text, TABLE(kTextToLineTransferMode)); }

const wchar_t* StringFormatToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kStringFormat), value, kEnumerationNoBlank, TRUE);
}

const wchar_t* PhoneButtonFunctionToText(DWORD value)
{
    thread_local wchar_t text[1023];
    return RenderConstants(text, _countof(text), TABLE(kPhoneButtonFunction), value, kEnumeration, TRUE);
}

DWORD TextToPhoneButtonFunction(const wchar_t* text) { return MatchWhole(text, TABLE(kPhoneButtonFunction), L"DROP"); }

const wchar_t* PhoneButtonModeToText(DWORD value)
{
    thread_local wchar_t text[511];
    return RenderConstants(text, _countof(text), TABLE(kPhoneButtonMode), value, kFlags, TRUE);
}

DWORD TextToPhoneButtonMode(const wchar_t* text) { return MatchAll(text, TABLE(kPhoneButtonMode)); }

const wchar_t* PhoneButtonStateToText(DWORD value)
{
    thread_local wchar_t text[511];
    return RenderConstants(text, _countof(text), TABLE(kPhoneButtonState), value, kFlags, TRUE);
}

DWORD TextToPhoneButtonState(const wchar_t* text) { return MatchAll(text, TABLE(kPhoneButtonState)); }

const wchar_t* PhoneFeatureToText(DWORD value)
{
    thread_local wchar_t text[511];
    return RenderConstants(text, _countof(text), TABLE(kPhoneFeature), value, kFlags, TRUE);
}

const wchar_t* PhoneHookSwitchDevToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kPhoneHookSwitchDev), value, kFlags, TRUE);
}

DWORD TextToPhoneHookSwitchDev(const wchar_t* text) { return MatchAll(text, TABLE(kPhoneHookSwitchDev)); }

const wchar_t* PhoneHookSwitchModeToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kPhoneHookSwitchMode), value, kFlags, TRUE);
}

DWORD TextToPhoneHookSwitchMode(const wchar_t* text) { return MatchFirst(text, TABLE(kTextToPhoneHookSwitchMode)); }

const wchar_t* PhoneLampModeToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kPhoneLampMode), value, kFlags, TRUE);
}

DWORD TextToPhoneLampMode(const wchar_t* text) { return MatchFirst(text, TABLE(kPhoneLampMode)); }

const wchar_t* PhonePrivilegeToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kPhonePrivilege), value, kFlags, TRUE);
}

DWORD TextToPhonePrivilege(const wchar_t* text) { return MatchAll(text, TABLE(kPhonePrivilege)); }

const wchar_t* PhoneStateToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kPhoneState), value, kFlags, TRUE);
}

DWORD TextToPhoneState(const wchar_t* text) { return MatchAll(text, TABLE(kPhoneState)); }

const wchar_t* PhoneStatusFlagsToText(DWORD value)
{
    thread_local wchar_t text[255];
    return RenderConstants(text, _countof(text), TABLE(kPhoneStatusFlags), value, kFlags, TRUE);
}

DWORD TextToLineCallSelect(const wchar_t* text) { return MatchFirst(text, TABLE(kLineCallSelect)); }

DWORD TextToLineMessage(const wchar_t* text) { return MatchFirst(text, TABLE(kLineMessage)); }

DWORD TextToLineMediaControl(const wchar_t* text) { return MatchAll(text, TABLE(kLineMediaControl)); }

DWORD TextToQosServiceType(const wchar_t* text) { return MatchFirst(text, TABLE(kQosServiceType)); }

DWORD TextToPhoneMessage(const wchar_t* text) { return MatchFirst(text, TABLE(kPhoneMessage)); }
