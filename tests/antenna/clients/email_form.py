#!/usr/bin/env python3
"""Writes a multipart/form-data body made by Python's email package: a text field, then the
given file. Usage: email_form.py FILE BODY_OUT CONTENT_TYPE_OUT"""
import io
import sys
from email import encoders, policy
from email.generator import BytesGenerator
from email.mime.application import MIMEApplication
from email.mime.multipart import MIMEMultipart
from email.mime.text import MIMEText

source, body_out, type_out = sys.argv[1:4]
with open(source, "rb") as f:
    content = f.read()

form = MIMEMultipart("form-data")
note = MIMEText("uploaded from a script", "plain", "us-ascii")
note.add_header("Content-Disposition", "form-data", name="note")
form.attach(note)
upload = MIMEApplication(content, "octet-stream", _encoder=encoders.encode_noop)
upload.add_header("Content-Disposition", "form-data", name="file", filename="aerkind.txt")
form.attach(upload)

out = io.BytesIO()
BytesGenerator(out, policy=policy.HTTP).flatten(form)
headers, body = out.getvalue().split(b"\r\n\r\n", 1)
content_type = next(line for line in headers.split(b"\r\n")
                    if line.lower().startswith(b"content-type:"))
with open(body_out, "wb") as f:
    f.write(body)
with open(type_out, "wb") as f:
    f.write(content_type.split(b":", 1)[1].strip())
