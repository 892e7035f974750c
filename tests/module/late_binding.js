// Late binding through Wine's own JScript host: creates the live view by ProgID and prints what it sees.
var cam = new ActiveXObject("QERN.CamImage");
function show(name, value) { WScript.Echo(name + "=" + value); }

show("Stretch", cam.Stretch);
cam.Stretch = 5;
show("Stretch after 5", cam.Stretch);
show("UpsideDown", cam.UpsideDown);
cam.UpsideDown = 7;
show("UpsideDown after 7", cam.UpsideDown);
show("Mirror", cam.Mirror);
cam.Mirror = -1;
show("Mirror after -1", cam.Mirror);
show("Reconnect", cam.Reconnect);

cam.URL = "http://127.0.0.1:8081/video.cgi";
show("URL", cam.URL);

cam.User = "admin";
cam.Password = "secret";
show("User", cam.User);
show("Password", cam.Password);
show("Version", cam.Version);
cam.Version = "ignored";
show("Version after put", cam.Version);

cam.SetReconnectTime(5000);
cam.UpdateView();
show("setaction(2)", cam.setaction(2));
show("setaction(5)", cam.setaction(5));
show("Enabled", cam.Enabled);
cam.Caption = "door";
show("Caption", cam.Caption);

var panel = new ActiveXObject("QERNCamControl.CImgCtrl");
panel.URL = "http://127.0.0.1:8081/video.cgi";
show("panel URL", panel.URL);
var strip = new ActiveXObject("QERNCamControl.CRec");
strip.setaction(7);
show("strip", "created");
