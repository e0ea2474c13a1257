#include "tools/httpmail/options.h"

namespace httpmail {

const char* HelpText() {
    return R"(Usage: mirelink-httpmail [switches]

A local HTTPMail service: web mail accounts served over HTTP/1.1 with WebDAV
(PROPFIND, GET, MOVE, PROPPATCH, POST, PUT, MKCOL, DELETE of folders; COPY
and DELETE of messages on request), Basic and Digest authentication and
keep-alive.
It answers origin-form requests ("GET /path") and the absolute-URI requests a
plain HTTP proxy receives ("GET http://host/path"), for any host name, so a
client can reach it directly or through its proxy settings.

On start it prints the port it listens on, alone on a line, on standard
output; everything else goes to standard error. SIGINT or SIGTERM stops it.

Switches:
  --port N             port to listen on (default 8080; 0: a free one)
  --bind ADDRESS       IPv4 address to listen on (default 127.0.0.1)
  --mail-dir DIR       load the accounts from DIR (layout below); without it
                       the built-in samples are served
  --write-back         with --mail-dir: a MOVE also moves the .eml file (a
                       COPY copies it, a DELETE removes it, a PUT writes one),
                       and folder changes reach the folder's directory
  --export-samples DIR write the built-in samples to DIR in the mail folder
                       layout and exit
  --fill COUNT[xSIZE]  add COUNT generated messages of about SIZE bytes
                       (default 4000) to every inbox, for load tests
  --state-dir DIR      write the request journal (DIR/journal.log) and every
                       submitted message (DIR/sent/NNNNNN.envelope and .eml)
  --copy-to-sent       also put each submitted message in the sent folder
  --no-header-properties
                       listings never carry the mailheader fields, as a
                       service that does not list them
  --copy-and-delete    also answer COPY and DELETE of messages (without it
                       they are answered 405, as by a service that has
                       neither)
  --no-put             answer PUT 405, as a service without it would
  --no-folder-changes  answer MKCOL, and MOVE and DELETE of folders, 405, as a
                       service without them would
  --public-host H[:P]  host in the URLs handed out (default: the host the
                       request named, else services.msn.com)
  --auth SCHEME        make every account accept basic, digest or any
  --fresh-nonce        a Digest nonce serves one request: any later answer
                       with it gets 401 with stale=true and a new nonce
  --proxy-auth U:P     ask absolute-URI requests for Basic proxy credentials
                       (407 without them)
  --fault RULE         put a fault into chosen requests (below); repeatable
  --chunked[=SIZE]     send every body chunked, in chunks of SIZE bytes
                       (default 4096); the same as --fault any:chunked=SIZE:always
  --latency MS         hold every answer MS milliseconds before its first byte
                       is sent, as a service across the internet would; each
                       connection waits on its own (control pages do not)
  --idle-timeout SEC   close a connection idle that long (default 60)
  --max-body BYTES     largest request body taken (default 67108864)
  --max-connections N  connections served at once (default 256)
  -v, --verbose        log one line per request on standard error:
                       "METHOD TARGET -> STATUS", then " as ACCOUNT" when
                       authenticated, " fault RULES" when faulted, or
                       " refused from PEER: WHY" for a request not read whole
                       (METHOD and TARGET "-" when its head was unusable)
  -h, --help           this text

Built-in samples:
  alice        password "wonderland", Digest; inbox, junk, sent, deleted
               items, promotions, and the folders "Work" and "Reçus"
  bob@msn.com  password "builder", Basic; inbox and junk

Endpoints and URLs (HOST as above):
  PROPFIND /svcs/hotmail/httpmail.asp   login for accounts without "@msn"
  PROPFIND /cgi-bin/hmdata              login for accounts with "@msn"
      answers 207 with hm:inbox, hm:sendmsg, hm:deleteditems and
      hm:msgfolderroot, and sets the cookie MSPAuth
  PROPFIND http://HOST/mail/ACCOUNT/            the folders (Depth 1,noroot)
  PROPFIND http://HOST/mail/ACCOUNT/inbox/      a listing: D:href,
      D:getcontentlength and hm:read (1 or 0) per message; also junk/,
      sent/, deleted/, promo/ and folders/NAME/ (NAME percent-encoded UTF-8).
      When the request body names hm:date (xmlns:hm="urn:schemas:httpmail:")
      or asks for every property, each message also carries hm:date: when it
      reached the service, in UTC ("2003-03-03T09:01:00Z"). The built-in
      samples have fixed times, files of --mail-dir their modification time,
      other messages the time they came (--fill, --copy-to-sent, PUT); MOVE
      and COPY keep it.
      When the request body names them (xmlns:m="urn:schemas:mailheader:",
      <m:subject/> <m:from/> <m:to/> <m:date/>) or asks for every property
      (no body, or D:allprop), each message also carries those header fields
      as they are in the message, folding removed; a field the message lacks
      is left out
  GET      http://HOST/mail/ACCOUNT/FOLDER/ID   the message source, CR LF
      lines; the message counts as read from then on
  MOVE     the same URL, with "Destination: <folder URL>/<new id>": 201 and the
      message is in that folder from then on (with "Allow-rename: t" a taken
      or empty id is replaced by a fresh one); from any folder to any other
  PROPPATCH the same URL, body <D:propertyupdate> with <D:set><D:prop>
      <hm:read>1</hm:read> (or 0), or hm:read in <D:remove> (unread): 207
  COPY     (--copy-and-delete) like MOVE, but the message also stays; the
      copy gets the Destination's id, or a fresh one as above
  DELETE   (--copy-and-delete) the message URL: 204, and it is gone for good
  PUT      http://HOST/mail/ACCOUNT/FOLDER/NEWID, the message as body (any
      Content-Type): 201 with its URL in Location. It is listed from then on,
      unread, with its line breaks as CR LF (so its size is the body's when
      the body has CR LF lines) and the time it came as hm:date. An id that a
      message of the account has already, in any folder: 412; no such
      folder: 409. With --write-back it is written to the folder as a .eml
      file named after the id.
  MKCOL    http://HOST/mail/ACCOUNT/folders/NAME/ or, right below the folder
      root, http://HOST/mail/ACCOUNT/NAME/ (NAME percent-encoded UTF-8), no
      body: 201 with the folder's URL (folders/NAME/) in Location, and an
      empty user folder NAME is listed from then on. Names are flat: a user
      folder holds no folders, but NAME may hold "/" (sent as %2F), the
      hierarchy of an IMAP client's names ("Work/Plans"); on disk it is
      written %2F. A folder that exists: 405; any other URL, or a NAME that
      is empty, starts with ".", holds "\" or control characters, or has
      "/" at either end or twice in a row: 403
  DELETE   a user folder's URL: 204, and it is gone with its messages; a
      special folder or the folder root: 403; no such folder: 404
  MOVE     a user folder's URL, with "Destination: <URL of folders/NEWNAME/>"
      (or of NEWNAME/ right below the folder root): 201 with the new URL in
      Location, and the folder and its messages are under it from then on. A Destination that is a folder already: 412 (with "Overwrite: T"
      too: folders are never merged or replaced); a special folder or the
      folder root: 403
  POST     http://HOST/mail/ACCOUNT/sendmsg, Content-Type message/rfc821, body
      "MAIL FROM:<a>", "RCPT TO:<b>" lines, an empty line and the message:
      200, and the message is kept (see --state-dir)
  Account names compare in lower case. An unauthenticated request gets 401
  with the schemes its account accepts (on a login endpoint: those of the
  accounts that belong to it, Basic first, Digest last). Digest uses realm
  "hotmail.com", qop "auth" and MD5. A nonce serves later requests too, each
  with a nonce count (nc, 1 to 8 hexadecimal digits) higher than any its
  account used with it before; a count used already, or lower: 401 with a
  new nonce. The latest 4096 nonces handed out or used are kept; an answer
  with an older nonce of the service: 401 with stale=true and a new nonce.

Mail folder layout (--mail-dir):
  DIR/ACCOUNT/account         lines "password = SECRET" and, optionally,
                              "auth = basic|digest|any" (default any);
                              '#' starts a comment line
  DIR/ACCOUNT/inbox/*.eml     likewise junk/, sent/, deleted/, promo/
  DIR/ACCOUNT/folders/NAME/   a user folder; NAME is its display name, with
                              "%2F" for "/" and "%25" for "%"
  Messages are served in file name order, with every line break as CR LF;
  a file's modification time is when its message arrived (--export-samples
  sets it so).

Fault rules (--fault EXCHANGE[#FROM]:KIND[=VALUE][:COUNT]):
  EXCHANGE  login, folders, list, get, move, post, proppatch, copy, delete,
            put, mkcol, folder-move, folder-delete, or any
  FROM      the first request of that exchange to get the fault (default 1)
  COUNT     how many requests get it (default 1), or "always"
  KIND      NNN            answer status NNN (200-599) instead
            refresh        answer a meta-refresh page pointing at the same URL
            redirect[=NNN] answer 302 (or NNN) to the same URL
            drop           close the connection without an answer
            drop-mid-body  send the head and half the body, then close
            slow=MS        wait MS milliseconds before answering
            chunked[=SIZE] send the body chunked
            close          close the connection after the answer
  Only authenticated requests count. One request gets at most one of the
  answers that replace the real one (status, refresh, redirect, drop), plus
  any of the others. Examples:
    --fault login:503            the first login is answered 503
    --fault get:503:2            the first two GETs are answered 503
    --fault list#2:drop-mid-body the second listing is cut off mid-body
    --fault any:slow=3000:always every answer comes 3 seconds late

Control pages (no authentication, never faulted or journaled):
  GET /_admin/mailbox/ACCOUNT  one line per message: FOLDER/ID SIZE
  GET /_admin/sent             one line per submission
  GET /_admin/sent/N           submission N: envelope, empty line, message
  GET /_admin/journal          one line per request: N EXCHANGE METHOD TARGET
                               STATUS ACCOUNT FAULTS (status 0: dropped)
  GET /_admin/journal/N        the head of request N
  GET /_admin/faults           the fault rules with their counts
  PUT /_admin/faults           replace the rules, one per body line
)";
}

}  // namespace httpmail
