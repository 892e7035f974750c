// The live view from a JScript program (Windows Script Host), without a web page:
//   cscript //nologo host.js [VIDEO_URL] [USER] [PASSWORD]
// Register QERNCamControl.dll first (README: "Using the DLL on Windows").
var args = WScript.Arguments;
var url = args.length > 0 ? args(0) : "http://127.0.0.1:8080/video.cgi";
var user = args.length > 1 ? args(1) : "admin";
var password = args.length > 2 ? args(2) : "admin";

// Waits ms milliseconds. Wine's script host lacks WScript.Sleep; there a loopback ping, which
// answers once a second, does the waiting.
function wait(ms) {
    try {
        WScript.Sleep(ms);
    } catch (e) {
        new ActiveXObject("WScript.Shell").Run("ping -n " + (Math.round(ms / 1000) + 1) + " 127.0.0.1", 0, true);
    }
}

// 1. Connect: create the live view by its ProgID and give it the camera. Set the user name and
//    password before the URL: the control connects as soon as it has a URL.
var cam = new ActiveXObject("QERN.CamImage");
cam.User = user;
cam.Password = password;
cam.URL = url;
WScript.Echo("camera: " + cam.URL);  // the camera's base address; the path is kept inside

// 2. The frame rate: setaction(6) answers the frames of the last second. Give the view a few
//    seconds: it connects, and the first second may count frames queued while it connected.
wait(6000);
WScript.Echo("frame rate: " + cam.setaction(6));

// 3. A snapshot through the frame export. The export hands every decoded frame to a host running
//    in the control's own process: gettmp(address of a frame buffer) and
//    SetImageProcessCallback(address of a function) need addresses, which a script does not
//    have, and getbmpdata returns no picture. snapshot.cpp beside this file shows a program doing it.
var picture = cam.getbmpdata();
WScript.Echo("snapshot: " + (picture ? picture.length + " characters" : "none for a script host"));

// 4. Record ten seconds. setaction(1) asks for the period and folder in the "REC SETTING"
//    dialog and answers 1 when a recording started; setaction(5) is 1 while it runs;
//    setaction(0) ends it. A control that cannot record answers 0.
if (cam.setaction(1) == 1) {
    wait(10000);
    var running = cam.setaction(5);
    cam.setaction(0);
    WScript.Echo("recording: ten seconds" + (running == 1 ? "" : ", ended early"));
} else {
    WScript.Echo("recording: not started");
}
