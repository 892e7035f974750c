' The live view from a VBScript program (Windows Script Host), without a web page:
'   cscript //nologo host.vbs [VIDEO_URL] [USER] [PASSWORD]
' Register QERNCamControl.dll first (README: "Using the DLL on Windows").
Option Explicit
Dim url, user, password, cam, picture, running
url = "http://127.0.0.1:8080/video.cgi" : user = "admin" : password = "admin"
If WScript.Arguments.Count > 0 Then url = WScript.Arguments(0)
If WScript.Arguments.Count > 1 Then user = WScript.Arguments(1)
If WScript.Arguments.Count > 2 Then password = WScript.Arguments(2)

' Waits ms milliseconds. Wine's script host lacks WScript.Sleep; there a loopback ping, which
' answers once a second, does the waiting.
Sub Wait(ms)
    On Error Resume Next
    WScript.Sleep ms
    If Err.Number <> 0 Then
        Err.Clear
        CreateObject("WScript.Shell").Run "ping -n " & (Round(ms / 1000) + 1) & " 127.0.0.1", 0, True
    End If
End Sub

' 1. Connect: create the live view by its ProgID and give it the camera. Set the user name and
'    password before the URL: the control connects as soon as it has a URL.
Set cam = CreateObject("QERN.CamImage")
cam.User = user
cam.Password = password
cam.URL = url
WScript.Echo "camera: " & cam.URL   ' the camera's base address; the path is kept inside

' 2. The frame rate: setaction(6) answers the frames of the last second. Give the view a few
'    seconds: it connects, and the first second may count frames queued while it connected.
Wait 6000
WScript.Echo "frame rate: " & cam.setaction(6)

' 3. A snapshot through the frame export. The export hands every decoded frame to a host running
'    in the control's own process: gettmp(address of a frame buffer) and
'    SetImageProcessCallback(address of a function) need addresses, which a script does not
'    have, and getbmpdata returns no picture. snapshot.cpp beside this file shows a program doing it.
picture = cam.getbmpdata()
If Len(picture & "") > 0 Then
    WScript.Echo "snapshot: " & Len(picture) & " characters"
Else
    WScript.Echo "snapshot: none for a script host"
End If

' 4. Record ten seconds. setaction(1) asks for the period and folder in the "REC SETTING"
'    dialog and answers 1 when a recording started; setaction(5) is 1 while it runs;
'    setaction(0) ends it. A control that cannot record answers 0.
If cam.setaction(1) = 1 Then
    Wait 10000
    running = cam.setaction(5)
    cam.setaction 0
    If running = 1 Then
        WScript.Echo "recording: ten seconds"
    Else
        WScript.Echo "recording: ten seconds, ended early"
    End If
Else
    WScript.Echo "recording: not started"
End If
