#!/usr/bin/env python3
"""A home router's port-mapping side for the process tests: SSDP, a UPnP IGD
(WANIPConnection:1) over HTTP/SOAP and NAT-PMP (RFC 6886), each mapping backed by
a real nftables DNAT rule. Standard library only; run as root in the router's
network namespace."""
import argparse
import http.server
import ipaddress
import re
import signal
import socket
import struct
import subprocess
import sys
import threading
import time

HTTP_PORT = 5000
SERVER = "Linux/6 UPnP/1.0 kova-test-router/1.0"
NATPMP_PORT = 5351
SSDP_GROUP = ("239.255.255.250", 1900)
MAX_MAPPINGS = 128  # a small router's table; more is refused as real ones do
MAX_BODY = 16384  # SOAP requests are a few hundred bytes
UUID = "uuid:6b6f7661-0000-4000-8000-726f75746572"
IGD = "urn:schemas-upnp-org:device:InternetGatewayDevice:1"
WANIP = "urn:schemas-upnp-org:service:WANIPConnection:1"
CIF = "urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1"
SEARCH_TARGETS = ["upnp:rootdevice", IGD, "urn:schemas-upnp-org:device:WANDevice:1",
                  "urn:schemas-upnp-org:device:WANConnectionDevice:1", WANIP, CIF]


def service(kind, name):
    return (f"<service><serviceType>{kind}</serviceType><serviceId>urn:upnp-org:serviceId:{name}"
            f"</serviceId><controlURL>/ctl/{name}</controlURL><eventSubURL>/evt/{name}</eventSubURL>"
            f"<SCPDURL>/{name}.xml</SCPDURL></service>")


def device(kind, name, services, children="", udn=None):
    return (f"<device><deviceType>urn:schemas-upnp-org:device:{kind}</deviceType>"
            f"<friendlyName>{name}</friendlyName><manufacturer>KOVA tests</manufacturer>"
            f"<modelName>{name}</modelName><UDN>{udn or UUID + '-' + kind[:-2]}</UDN>"
            f"<serviceList>{services}</serviceList>{children}</device>")


ROOT_DESC = ('<?xml version="1.0"?>\r\n<root xmlns="urn:schemas-upnp-org:device-1-0"><specVersion>'
             '<major>1</major><minor>0</minor></specVersion>' + device(
                 "InternetGatewayDevice:1", "Test router", "", "<deviceList>" + device(
                     "WANDevice:1", "WAN device", service(CIF, "WANCommonIFC1"), "<deviceList>" +
                     device("WANConnectionDevice:1", "WAN connection",
                            service(WANIP, "WANIPConn1")) + "</deviceList>") + "</deviceList>",
                 UUID) + "</root>\r\n")
SCPD = ('<?xml version="1.0"?>\r\n<scpd xmlns="urn:schemas-upnp-org:service-1-0"><specVersion>'
        '<major>1</major><minor>0</minor></specVersion><actionList/><serviceStateTable/></scpd>\r\n')
UPNP_ERRORS = {401: "Invalid Action", 402: "Invalid Args", 501: "Action Failed",
               713: "SpecifiedArrayIndexInvalid", 714: "NoSuchEntryInArray",
               716: "WildCardNotPermittedInExtPort", 718: "ConflictInMappingEntry",
               728: "NoPortMapsAvailable"}


class UpnpError(Exception):
    def __init__(self, code):
        super().__init__(code)
        self.code = code


class Router:
    """The mapping table shared by both protocols, keyed by (proto, external port)."""

    def __init__(self, opts):
        self.opts = opts
        self.lock = threading.Lock()
        self.maps = {}  # (proto, ext) -> dict(client, port, expires, handle, desc)
        self.start = time.monotonic()
        self.log_file = open(opts.log, "a", buffering=1) if opts.log else None
        nft("add table ip kova_nat")
        nft("add chain ip kova_nat prerouting { type nat hook prerouting priority dstnat; }")

    def log(self, line):
        if self.log_file:
            self.log_file.write(line + "\n")

    def add(self, proto, ext, client, port, lease, desc=""):
        """Maps or refreshes; UpnpError(718) when the port forwards to another host."""
        with self.lock:
            old = self.maps.get((proto, ext))
            if old and old["client"] != client:
                raise UpnpError(718)
            if not old and len(self.maps) >= MAX_MAPPINGS:
                raise UpnpError(728)
            if old:
                self._drop((proto, ext))
            rule = (f'add rule ip kova_nat prerouting iifname "{self.opts.wan_if}" {proto} dport {ext}'
                    f" dnat to {client}:{port}")
            out = nft("--echo --handle " + rule)
            found = re.search(r"# handle (\d+)", out or "")
            if not found:
                raise UpnpError(501)
            forget_flows(proto, (self.opts.wan_addr, ext), (client, port))
            expires = time.monotonic() + lease if lease else None
            self.maps[(proto, ext)] = dict(client=client, port=port, expires=expires,
                                           handle=found.group(1), desc=desc)

    def delete(self, proto, ext):
        with self.lock:
            if (proto, ext) not in self.maps:
                raise UpnpError(714)
            self._drop((proto, ext))

    def _drop(self, key):
        nft(f"delete rule ip kova_nat prerouting handle {self.maps.pop(key)['handle']}")

    def get(self, proto, ext):
        with self.lock:
            entry = self.maps.get((proto, ext))
            return dict(entry) if entry else None

    def entry_at(self, index):
        with self.lock:
            items = sorted(self.maps.items())
            if not 0 <= index < len(items):
                raise UpnpError(713)
            (proto, ext), entry = items[index]
            return proto, ext, dict(entry)

    def free_port_near(self, proto, wanted, client, port):
        """NAT-PMP: this client's existing port, else the wanted one, else a free one."""
        with self.lock:
            for (p, ext), entry in self.maps.items():
                if p == proto and entry["client"] == client and entry["port"] == port:
                    return ext
            for ext in [wanted] + list(range(wanted + 1, 65536)) + list(range(1024, wanted)):
                if (proto, ext) not in self.maps:
                    return ext
        return None

    def remaining(self, entry):
        return 0 if entry["expires"] is None else max(1, int(entry["expires"] - time.monotonic()))

    def expire(self):
        with self.lock:
            now = time.monotonic()
            for key in [k for k, e in self.maps.items() if e["expires"] and e["expires"] <= now]:
                self.log(f"expired {key[0]} {key[1]}")
                self._drop(key)

    def clear(self):
        with self.lock:
            for key in list(self.maps):
                self._drop(key)


def nft(args):
    done = subprocess.run(["nft"] + args.split(), capture_output=True, text=True)
    if done.returncode != 0:
        sys.stderr.write(f"nft {args}: {done.stderr}")
        return None
    return done.stdout


def nl_attrs(data):
    i = 0
    while i + 4 <= len(data):
        size, kind = struct.unpack_from("=HH", data, i)
        if size < 4:
            return
        yield kind & 0x3FFF, data[i + 4:i + size]
        i += (size + 3) & ~3


def forget_flows(proto, outside, inside):
    """Flows that crossed the router before a mapping keep their connection
    tracking entries: the new DNAT rule never sees datagrams to the outside port,
    and the client's own earlier datagrams from the inside port hold a NAT port
    of their own, so that inbound replies would get a source port rewritten.
    Drop both over ctnetlink, for the forwarding to take effect at once."""
    ctnl = lambda kind, flags, body: struct.pack("=IHHII", 20 + len(body), 0x100 | kind, flags,
                                                 0, 0) + struct.pack("=BBH", socket.AF_INET, 0, 0) + body
    number = 17 if proto == "udp" else 6
    end = lambda e: (socket.inet_aton(e[0]), struct.pack("!H", e[1]))
    with socket.socket(socket.AF_NETLINK, socket.SOCK_RAW, 12) as nl:  # NETLINK_NETFILTER
        nl.send(ctnl(1, 0x301, b""))  # IPCTNL_MSG_CT_GET, a dump
        stale, done = [], False
        while not done:
            data, i = nl.recv(65536), 0
            while i + 16 <= len(data) and not done:
                size, kind = struct.unpack_from("=IH", data, i)
                done = kind in (2, 3) or size < 16  # NLMSG_ERROR, NLMSG_DONE
                for a, orig in nl_attrs(data[i + 20:i + size]) if kind == 0x100 else []:
                    found = dict(nl_attrs(orig)) if a == 1 else {}  # CTA_TUPLE_ORIG
                    ip, l4 = dict(nl_attrs(found.get(1, b""))), dict(nl_attrs(found.get(2, b"")))
                    ends = [(ip.get(k), l4.get(k + 1)) for k in (1, 2)]  # source, destination
                    if l4.get(1) == bytes([number]) and (ends[1] == end(outside) or ends[0] == end(inside)):
                        stale.append(orig)
                i += (size + 3) & ~3
        for orig in stale:  # IPCTNL_MSG_CT_DELETE of that original tuple
            nl.send(ctnl(2, 1, struct.pack("=HH", 4 + len(orig), 0x8001) + orig))


def soap_args(body):
    return {k: v.strip() for k, v in re.findall(r"<(New\w+)\s*>([^<]*)</\1\s*>", body)}


def mapping_key(args):
    proto = args.get("NewProtocol", "").lower()
    try:
        ext = int(args.get("NewExternalPort", ""))
    except ValueError:
        raise UpnpError(402)
    if proto not in ("udp", "tcp") or not 0 <= ext <= 65535:
        raise UpnpError(402)
    if ext == 0:
        raise UpnpError(716)
    return proto, ext


def entry_args(entry, router):
    return [("NewInternalPort", entry["port"]), ("NewInternalClient", entry["client"]),
            ("NewEnabled", 1), ("NewPortMappingDescription", entry["desc"]),
            ("NewLeaseDuration", router.remaining(entry))]


def soap_action(router, action, args, peer):
    """The answer's arguments as (name, value) pairs; UpnpError for a fault."""
    o = router.opts
    if action == "GetStatusInfo":
        router.log(f"soap GetStatusInfo from {peer}")
        return [("NewConnectionStatus", "Connected"), ("NewLastConnectionError", "ERROR_NONE"),
                ("NewUptime", int(time.monotonic() - router.start))]
    if action == "GetExternalIPAddress":
        router.log(f"soap GetExternalIPAddress from {peer}")
        return [("NewExternalIPAddress", o.wan_addr)]
    if action == "GetConnectionTypeInfo":
        router.log(f"soap GetConnectionTypeInfo from {peer}")
        return [("NewConnectionType", "IP_Routed"), ("NewPossibleConnectionTypes", "IP_Routed")]
    if action == "GetCommonLinkProperties":
        router.log(f"soap GetCommonLinkProperties from {peer}")
        return [("NewWANAccessType", "Ethernet"), ("NewLayer1UpstreamMaxBitRate", 100000000),
                ("NewLayer1DownstreamMaxBitRate", 100000000), ("NewPhysicalLinkStatus", "Up")]
    if action == "AddPortMapping":
        proto, ext = mapping_key(args)
        client, lease = args.get("NewInternalClient", ""), args.get("NewLeaseDuration", "0")
        port = args.get("NewInternalPort", "")
        router.log(f"soap AddPortMapping {proto.upper()} {ext} -> {client}:{port} lease {lease}"
                   f" from {peer}")
        try:
            ipaddress.IPv4Address(client)
            port, lease = int(port), int(lease)
        except ValueError:
            raise UpnpError(402)
        if not 0 < port <= 65535 or lease < 0:
            raise UpnpError(402)
        router.add(proto, ext, client, port, lease, args.get("NewPortMappingDescription", "")[:64])
        return []
    if action == "DeletePortMapping":
        proto, ext = mapping_key(args)
        router.log(f"soap DeletePortMapping {proto.upper()} {ext} from {peer}")
        router.delete(proto, ext)
        return []
    if action == "GetSpecificPortMappingEntry":
        proto, ext = mapping_key(args)
        router.log(f"soap GetSpecificPortMappingEntry {proto.upper()} {ext} from {peer}")
        entry = router.get(proto, ext)
        if not entry:
            raise UpnpError(714)
        return entry_args(entry, router)
    if action == "GetGenericPortMappingEntry":
        router.log(f"soap GetGenericPortMappingEntry {args.get('NewPortMappingIndex')} from {peer}")
        try:
            proto, ext, entry = router.entry_at(int(args.get("NewPortMappingIndex", "")))
        except ValueError:
            raise UpnpError(402)
        return [("NewRemoteHost", ""), ("NewExternalPort", ext),
                ("NewProtocol", proto.upper())] + entry_args(entry, router)
    router.log(f"soap {action[:40]} from {peer}")
    raise UpnpError(401)


ENVELOPE = ('<?xml version="1.0"?>\r\n<s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/"'
            ' s:encodingStyle="http://schemas.xmlsoap.org/soap/encoding/"><s:Body>{}</s:Body>'
            '</s:Envelope>\r\n')


def make_handler(router):
    class Handler(http.server.BaseHTTPRequestHandler):
        server_version = SERVER

        def log_message(self, *args):
            pass

        def reply(self, status, body, kind="text/xml; charset=\"utf-8\""):
            if router.opts.slow:
                time.sleep(router.opts.slow)
            if router.opts.garbage:
                body = "<?xml version=\"1.0\"?><root><device><deviceType>urn:sch<<&&\x00"
            data = body.encode()
            self.send_response(status)
            self.send_header("Content-Type", kind)
            self.send_header("Content-Length", str(len(data)))
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(data)

        def do_GET(self):
            router.log(f"http GET {self.path[:80]} from {self.client_address[0]}")
            if self.path == "/rootDesc.xml":
                self.reply(200, ROOT_DESC)
            elif self.path in ("/WANIPConn1.xml", "/WANCommonIFC1.xml"):
                self.reply(200, SCPD)
            else:
                self.reply(404, "")

        def do_POST(self):
            peer = self.client_address[0]
            length = int(self.headers.get("Content-Length") or 0)
            found = re.search(r"#(\w+)", self.headers.get("SOAPAction", ""))
            if not found or not 0 <= length <= MAX_BODY or not self.path.startswith("/ctl/"):
                router.log(f"http POST {self.path[:80]} refused from {peer}")
                return self.reply(400, "")
            action = found.group(1)
            args = soap_args(self.rfile.read(length).decode("utf-8", "replace"))
            kind = WANIP if self.path == "/ctl/WANIPConn1" else CIF
            try:
                pairs = soap_action(router, action, args, peer)
            except UpnpError as e:
                fault = ("<s:Fault><faultcode>s:Client</faultcode><faultstring>UPnPError</faultstring>"
                         '<detail><UPnPError xmlns="urn:schemas-upnp-org:control-1-0"><errorCode>'
                         f"{e.code}</errorCode><errorDescription>{UPNP_ERRORS[e.code]}"
                         "</errorDescription></UPnPError></detail></s:Fault>")
                return self.reply(500, ENVELOPE.format(fault))
            inner = "".join(f"<{k}>{v}</{k}>" for k, v in pairs)
            self.reply(200, ENVELOPE.format(
                f'<u:{action}Response xmlns:u="{kind}">{inner}</u:{action}Response>'))

    return Handler


def serve_ssdp(router):
    o = router.opts
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_BINDTODEVICE, o.lan_if.encode())
    sock.bind(("", SSDP_GROUP[1]))
    mreq = socket.inet_aton(SSDP_GROUP[0]) + socket.inet_aton(o.lan_addr)
    sock.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP, mreq)
    location = f"http://{o.lan_addr}:{HTTP_PORT}/rootDesc.xml"
    while True:
        data, peer = sock.recvfrom(2048)
        text = data.decode("ascii", "replace")
        if not text.startswith("M-SEARCH"):
            continue
        found = re.search(r"^ST:\s*(\S+)", text, re.I | re.M)
        st = found.group(1) if found else ""
        router.log(f"ssdp M-SEARCH from {peer[0]} st {st[:80]}")
        targets = SEARCH_TARGETS if st == "ssdp:all" else [st] if st in SEARCH_TARGETS else []
        for target in targets:
            sock.sendto((f"HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=120\r\nST: {target}\r\n"
                         f"USN: {UUID}::{target}\r\nEXT:\r\nSERVER: {SERVER}\r\n"
                         f"LOCATION: {location}\r\n\r\n").encode(), peer)


def serve_natpmp(router):
    o = router.opts
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_BINDTODEVICE, o.lan_if.encode())
    sock.bind((o.lan_addr, NATPMP_PORT))
    while True:
        data, peer = sock.recvfrom(1100)
        if len(data) < 2 or data[1] >= 128:
            continue
        version, op = data[0], data[1]
        epoch = int(time.monotonic() - router.start)
        head = lambda result: struct.pack("!BBHI", 0, 128 + op, result, epoch)
        if version != 0:
            router.log(f"natpmp version {version} from {peer[0]}")
            sock.sendto(head(1), peer)
        elif op == 0:
            router.log(f"natpmp address from {peer[0]}")
            sock.sendto(head(0) + socket.inet_aton(o.wan_addr), peer)
        elif op in (1, 2) and len(data) >= 12:
            proto = "udp" if op == 1 else "tcp"
            port, wanted, lease = struct.unpack("!HHI", data[4:12])
            router.log(f"natpmp map {proto} {port} -> {peer[0]}:{port} ext {wanted} lease {lease}")
            sock.sendto(natpmp_map(router, proto, peer[0], port, wanted, lease, head), peer)
        elif op > 2:
            router.log(f"natpmp op {op} from {peer[0]}")
            sock.sendto(head(5), peer)


def natpmp_map(router, proto, client, port, wanted, lease, head):
    if lease == 0:  # delete this client's mapping of that port (every one for port 0)
        with router.lock:
            keys = [k for k, e in router.maps.items() if k[0] == proto and e["client"] == client
                    and (port == 0 or e["port"] == port)]
        for key in keys:
            router.delete(*key)
        return head(0) + struct.pack("!HHI", port, 0, 0)
    if port == 0:
        return head(2) + struct.pack("!HHI", port, 0, 0)
    lease = min(lease, 86400)
    ext = router.free_port_near(proto, wanted or port, client, port)
    try:
        if ext is None:
            raise UpnpError(728)
        router.add(proto, ext, client, port, lease, "NAT-PMP")
    except UpnpError as e:
        return head(4 if e.code == 728 else 3) + struct.pack("!HHI", port, 0, 0)
    return head(0) + struct.pack("!HHI", port, ext, lease)


def main():
    p = argparse.ArgumentParser(description=__doc__)
    p.add_argument("--lan-if", required=True)
    p.add_argument("--wan-if", required=True)
    p.add_argument("--lan-addr", required=True)
    p.add_argument("--wan-addr", required=True, help="the external address reported")
    p.add_argument("--no-upnp", action="store_true", help="no SSDP and no HTTP: NAT-PMP only")
    p.add_argument("--no-natpmp", action="store_true")
    p.add_argument("--slow", type=float, default=0, help="seconds before each HTTP answer")
    p.add_argument("--garbage", action="store_true", help="answer HTTP with broken XML")
    p.add_argument("--log", help="one line per request received")
    p.add_argument("--pre-map", action="append", default=[], metavar='"PROTO PORT CLIENT"')
    o = p.parse_args()
    router = Router(o)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    try:
        for spec in o.pre_map:
            proto, port, client = spec.split()
            router.add(proto.lower(), int(port), client, int(port), 0, "another host")
        threads = []
        if not o.no_upnp:
            httpd = http.server.ThreadingHTTPServer((o.lan_addr, HTTP_PORT), make_handler(router))
            threads += [httpd.serve_forever, lambda: serve_ssdp(router)]
        if not o.no_natpmp:
            threads.append(lambda: serve_natpmp(router))
        for run in threads:
            threading.Thread(target=run, daemon=True).start()
        print("ready", flush=True)
        while True:
            time.sleep(0.5)
            router.expire()
    finally:
        router.clear()


if __name__ == "__main__":
    main()
