"""Signing PDF documents: layout, digest, embedding and post-sign work.

Signing runs in two steps that may lie far apart: ``PdfSigner`` prepares the
document (signature field, reserved room, digest of the byte ranges), the
digest is signed elsewhere, and ``PdfTBSDocument.async_finish_signing`` puts
the container into the prepared document and carries out the post-sign
instructions. ``PdfTimeStamper`` adds document timestamps.
"""

from __future__ import annotations

import hashlib
import io
import os
from typing import TYPE_CHECKING, Any, BinaryIO, Coroutine, Dict, List, Optional, Sequence, Tuple, TypeVar, Union

from asn1crypto import cms

from ...config.errors import ConfigurationError
from ...exceptions import SigningError
from ...net import share_connections
from ..... import _pdfengine
from ...pdf_utils.file_input import FileInput, Piece, join_pieces, regular_file_descriptor, write_piece
from ...pdf_utils.format import pdf_date
from ...pdf_utils.incremental_writer import IncrementalPdfFileWriter
from ..appearance import SignatureAppearance
from ..byte_range_digest import PreparedByteRangeDigest
from ..doc_timestamp import async_timestamp_update, timestamp_update
from ..embedding import container_der, embed_container
from ..fields import SigSeedSubFilter
from ..post_sign import PostSignInstructions
from ..prepared_output import Engine, PreparedOutput
from ..validation_info import extend_dss, gather_validation_data, require_gathering

if TYPE_CHECKING:
    from ..timestamps import Timestamper

__all__ = ["PdfSignatureMetadata", "PdfSigner", "PdfTimeStamper", "PdfTBSDocument",
           "DSSContentSettings", "PreparedByteRangeDigest", "PostSignInstructions"]

_SUPPORTED_MD = "sha256"

_Result = TypeVar("_Result")


def _md_algorithm(md_algorithm: object) -> str:
    if md_algorithm is None:
        return _SUPPORTED_MD
    if not isinstance(md_algorithm, str) or md_algorithm.lower() != _SUPPORTED_MD:
        raise ConfigurationError("digest algorithm %r is not supported; use 'sha256'" % (md_algorithm,))
    return _SUPPORTED_MD


def _subfilter(subfilter: Union[SigSeedSubFilter, str, None]) -> SigSeedSubFilter:
    if subfilter is None:
        return SigSeedSubFilter.PADES
    try:
        subfilter = SigSeedSubFilter(subfilter)
    except ValueError:
        raise ConfigurationError("unknown signature subfilter %r" % (subfilter,))
    if subfilter is SigSeedSubFilter.ETSI_RFC3161:
        raise ConfigurationError("the RFC 3161 subfilter is for document timestamps (PdfTimeStamper), "
                                 "not for signatures")
    return subfilter


def _writer(pdf_out: object) -> IncrementalPdfFileWriter:
    if not isinstance(pdf_out, IncrementalPdfFileWriter):
        raise TypeError("expected an IncrementalPdfFileWriter, not %s" % type(pdf_out).__name__)
    return pdf_out


class DSSContentSettings:
    """What goes into the document security store; ``include_vri`` adds a
    /VRI entry for the signature next to the document-wide arrays."""

    def __init__(self, include_vri: bool = False) -> None:
        self.include_vri = bool(include_vri)

    def __repr__(self) -> str:
        return "DSSContentSettings(include_vri=%r)" % self.include_vri


def _docmdp_permissions(value: object) -> Optional[int]:
    if value is None:
        return None
    if isinstance(value, bool) or not isinstance(value, int) or value not in (1, 2, 3):
        raise ConfigurationError("docmdp_permissions must be None or 1 (no changes), 2 (form filling and "
                                 "signing) or 3 (also annotations), not %r" % (value,))
    return int(value)


class PdfSignatureMetadata:
    """Settings of one PDF signature.

    ``location`` and ``contact_info`` go into the signature dictionary;
    ``docmdp_permissions`` (1, 2 or 3, see ``MDPPerm``) makes it the
    certification signature of the document, which only its first signature
    can be; ``appearance`` (a SignatureAppearance) makes it visible. With all
    of them None the signature is laid out as an invisible approval signature.
    """

    def __init__(self, field_name: Optional[str] = None, md_algorithm: Optional[str] = None,
                 reason: Optional[str] = None, subfilter: Union[SigSeedSubFilter, str, None] = None,
                 embed_validation_info: bool = False, use_pades_lta: bool = False,
                 validation_context: Any = None, dss_settings: Optional[DSSContentSettings] = None,
                 location: Optional[str] = None, contact_info: Optional[str] = None,
                 docmdp_permissions: Optional[int] = None,
                 appearance: Optional[SignatureAppearance] = None) -> None:
        if field_name is not None and (not isinstance(field_name, str) or not field_name):
            raise ConfigurationError("field_name must be a non-empty str or None")
        for name, value in (("reason", reason), ("location", location), ("contact_info", contact_info)):
            if value is not None and not isinstance(value, str):
                raise ConfigurationError("%s must be a str or None" % name)
        if appearance is not None and not isinstance(appearance, SignatureAppearance):
            raise ConfigurationError("appearance must be a SignatureAppearance or None")
        self.field_name = field_name
        self.md_algorithm = _md_algorithm(md_algorithm)
        self.reason = reason
        self.subfilter = _subfilter(subfilter)
        self.embed_validation_info = bool(embed_validation_info)
        self.use_pades_lta = bool(use_pades_lta)
        self.validation_context = validation_context
        self.dss_settings = dss_settings if dss_settings is not None else DSSContentSettings()
        self.location = location
        self.contact_info = contact_info
        self.docmdp_permissions = _docmdp_permissions(docmdp_permissions)
        self.appearance = appearance

    def layout_options(self) -> Dict[str, Any]:
        """The engine's keywords for these settings (None where not set)."""
        appearance = self.appearance
        return {"location": self.location, "contact_info": self.contact_info,
                "docmdp_permissions": self.docmdp_permissions,
                "appearance": None if appearance is None else (appearance.page, appearance.box,
                                                               list(appearance.lines))}


class PdfTBSDocument:
    """A document prepared for signing: where its digest and output are, and
    what is to be done once the signature container exists."""

    def __init__(self, prepared_digest: PreparedByteRangeDigest, output: BinaryIO,
                 post_sign_instructions: Optional[PostSignInstructions] = None,
                 field_name: Optional[str] = None) -> None:
        self.prepared_digest = prepared_digest
        self.output = output
        self.post_sign_instructions = post_sign_instructions
        self.field_name = field_name

    @classmethod
    async def async_finish_signing(cls, output: BinaryIO, prepared_digest: PreparedByteRangeDigest,
                                   signature_cms: Any, post_sign_instr: Optional[PostSignInstructions] = None,
                                   validation_context: Any = None) -> BinaryIO:
        """Writes ``signature_cms`` into the reserved room of ``output`` and then
        carries out ``post_sign_instr`` on the same stream."""
        der = container_der(signature_cms)
        _check_container(der, prepared_digest)
        if post_sign_instr is not None:
            post_sign_instr.check(validation_context)
        embed_container(output, prepared_digest, der)
        if post_sign_instr is not None:
            await post_sign_instr.carry_out(output, der, prepared_digest.bytes_reserved, validation_context)
        output.seek(0)
        return output


def _check_container(der: bytes, prepared_digest: PreparedByteRangeDigest) -> None:
    """Refuses a container that is not a CMS SignedData over the prepared digest."""
    try:
        info = cms.ContentInfo.load(der)
        if info["content_type"].native != "signed_data":
            raise ValueError("it holds %s, not SignedData" % info["content_type"].native)
        signer_infos = info["content"]["signer_infos"]
        if len(signer_infos) != 1:
            raise ValueError("it has %d signer infos instead of one" % len(signer_infos))
        signed_attrs = signer_infos[0]["signed_attrs"]
        digests = [attr["values"][0].native for attr in signed_attrs
                   if attr["type"].native == "message_digest"]
    except (ValueError, TypeError, KeyError) as error:
        raise SigningError("the signature container is not a usable CMS signature: %s" % error)
    if digests and digests[0] != prepared_digest.document_digest:
        raise SigningError("the signature container signs another digest than the prepared document's")


class PdfSigner:
    """Prepares documents for a signature by ``signer`` as ``signature_meta`` describes."""

    def __init__(self, signature_meta: PdfSignatureMetadata, signer: Any, timestamper: Optional[Timestamper] = None) -> None:
        if not isinstance(signature_meta, PdfSignatureMetadata):
            raise TypeError("signature_meta must be a PdfSignatureMetadata")
        if signer is None:
            raise ConfigurationError("a PdfSigner needs a signer")
        self.signature_meta = signature_meta
        self.signer = signer
        self.timestamper = timestamper

    def _bytes_reserved(self, bytes_reserved: Optional[int]) -> int:
        if bytes_reserved is None:
            estimate = getattr(self.signer, "estimated_container_size", None)
            if estimate is None:
                raise ConfigurationError("bytes_reserved is not given and %s cannot estimate its container size"
                                         % type(self.signer).__name__)
            bytes_reserved = estimate()
        if isinstance(bytes_reserved, bool) or not isinstance(bytes_reserved, int) or bytes_reserved <= 0:
            raise ConfigurationError("bytes_reserved must be a positive int, not %r" % (bytes_reserved,))
        if bytes_reserved > _pdfengine.MAX_BYTES_RESERVED:
            raise ConfigurationError("bytes_reserved may be at most %d (bytes for the signature container), not %d"
                                     % (_pdfengine.MAX_BYTES_RESERVED, bytes_reserved))
        return bytes_reserved

    def _post_sign_instructions(self) -> PostSignInstructions:
        meta = self.signature_meta
        return PostSignInstructions(
            embed_validation_info=meta.embed_validation_info, use_pades_lta=meta.use_pades_lta,
            validation_context=meta.validation_context, dss_settings=meta.dss_settings,
            timestamper=self.timestamper, signer=self.signer)

    async def async_digest_doc_for_signing(self, pdf_out: IncrementalPdfFileWriter, bytes_reserved: Optional[int] = None
                                           ) -> Tuple[PreparedByteRangeDigest, PdfTBSDocument, PreparedOutput]:
        """Lays the signature out in an incremental update of ``pdf_out``.

        Returns (prepared digest, to-be-signed document, io.BytesIO holding the
        input followed by the update). Whatever the document refuses is
        raised here; the update is laid out when the byte range is first
        needed, and the output made and digested when either is first used.
        """
        writer = _writer(pdf_out)
        meta = self.signature_meta
        reserved = self._bytes_reserved(bytes_reserved)
        field_name = meta.field_name or writer.free_field_name("Signature")
        request = (field_name, meta.subfilter.value, reserved)
        reason, signing_time = meta.reason, pdf_date()
        options = meta.layout_options()
        writer.check_signature(*request, reason=reason, signing_time=signing_time, **options)

        def lay_out() -> Tuple[Sequence[Piece], Sequence[int], Optional[Engine]]:
            writer.check_input_unchanged()
            document = writer.take_document()
            update, byte_range = document.prepare_signature(*request, reason=reason, signing_time=signing_time,
                                                         **options)
            # The output goes on from the document as laid out: later updates
            # extend this parse instead of reading the output again.
            document.extend(update)
            return (writer.source, update), byte_range, Engine(document, writer.parse)

        output = PreparedOutput(lay_out)
        prepared_digest = PreparedByteRangeDigest(output)
        tbs_document = PdfTBSDocument(prepared_digest, output, self._post_sign_instructions(), field_name)
        return prepared_digest, tbs_document, output


class PdfTimeStamper:
    """Adds document timestamps (/DocTimeStamp, /ETSI.RFC3161) from ``timestamper``."""

    def __init__(self, timestamper: Optional[Timestamper], field_name: Optional[str] = None) -> None:
        self.default_timestamper = timestamper
        self.field_name = field_name

    def _arguments(self, pdf_out: IncrementalPdfFileWriter, md_algorithm: Optional[str],
                   timestamper: Optional[Timestamper]) -> Tuple[IncrementalPdfFileWriter, Timestamper, str]:
        writer = _writer(pdf_out)
        _md_algorithm(md_algorithm)
        timestamper = timestamper if timestamper is not None else self.default_timestamper
        if timestamper is None:
            raise ConfigurationError("a document timestamp needs a timestamper")
        field_name = self.field_name or writer.free_field_name("DocumentTimestamp")
        return writer, timestamper, field_name

    def timestamp_pdf(self, pdf_out: IncrementalPdfFileWriter, md_algorithm: Optional[str] = None,
                      timestamper: Optional[Timestamper] = None, validation_context: Any = None,
                      output: Optional[BinaryIO] = None) -> BinaryIO:
        """Timestamps the document of ``pdf_out`` and writes the whole result to
        ``output`` (a new io.BytesIO when None), which is returned. With a
        validation context, the timestamp authority's validation data goes into
        the DSS as well. Nothing is written when anything fails."""
        writer, timestamper, field_name = self._arguments(pdf_out, md_algorithm, timestamper)
        if validation_context is not None:
            require_gathering(validation_context)
        document = writer.take_document()
        ahead = _SourceWrittenAhead(output, writer.source)
        try:
            update, token = timestamp_update(document, [writer.source], timestamper, field_name, ahead.prefix)
            updates = [update]
            if validation_context is not None:
                share_connections(validation_context, timestamper)
                updates.append(_run(_tsa_dss_update(document, token, validation_context)))
        except BaseException:
            ahead.take_back()
            raise
        return ahead.write_out(output, writer.source, updates)

    async def async_timestamp_pdf(self, pdf_out: IncrementalPdfFileWriter, md_algorithm: Optional[str] = None,
                                  timestamper: Optional[Timestamper] = None, validation_context: Any = None,
                                  output: Optional[BinaryIO] = None) -> BinaryIO:
        """As timestamp_pdf, awaiting the timestamper and the validation context."""
        writer, timestamper, field_name = self._arguments(pdf_out, md_algorithm, timestamper)
        if validation_context is not None:
            require_gathering(validation_context)
        document = writer.take_document()
        ahead = _SourceWrittenAhead(output, writer.source)
        try:
            update, token = await async_timestamp_update(document, [writer.source], timestamper, field_name,
                                                         ahead.prefix)
            updates = [update]
            if validation_context is not None:
                share_connections(validation_context, timestamper)
                updates.append(await _tsa_dss_update(document, token, validation_context))
        except BaseException:
            ahead.take_back()
            raise
        return ahead.write_out(output, writer.source, updates)


class _SourceWrittenAhead:
    """A document timestamp's source file, copied to the end of a file output
    while the digest of that beginning is taken: one read of the file serves
    both, where the digest and a later copy would each read all of it.

    It is written before the token exists; if the timestamp then fails, the
    output is truncated back to where it ended, so nothing stays written."""

    def __init__(self, output: Optional[BinaryIO], source: Piece) -> None:
        self.prefix: Optional[Tuple[int, Any]] = None
        self._output: Optional[BinaryIO] = None
        self._start = 0
        if output is None or not isinstance(source, FileInput) or not len(source):
            return
        target = regular_file_descriptor(output)
        if target is None:
            return
        output.flush()
        start = output.tell()
        if start != os.fstat(target).st_size:
            return  # not at its end: bytes written over could not be taken back
        digest = hashlib.sha256()
        try:
            source.copy_digesting(target, start, digest)
        except BaseException:
            os.ftruncate(target, start)
            raise
        output.seek(start + len(source))
        self.prefix = (len(source), digest)
        self._output, self._start = output, start

    def take_back(self) -> None:
        if self._output is not None:
            self._output.seek(self._start)
            self._output.truncate(self._start)

    def write_out(self, output: Optional[BinaryIO], source: Piece, updates: Sequence[bytes]) -> BinaryIO:
        if self._output is None:
            return _write_out(output, source, updates)
        for update in updates:
            self._output.write(update)
        return self._output


async def _tsa_dss_update(document: _pdfengine.Document, token: bytes, validation_context: Any) -> bytes:
    """The DSS update for the timestamp authority, on ``document`` as extended by the timestamp."""
    data = await gather_validation_data(validation_context, token)
    return extend_dss(document, data)


def _run(coroutine: Coroutine[Any, Any, _Result]) -> _Result:
    """Runs a coroutine to its end from synchronous code."""
    import asyncio
    try:
        asyncio.get_running_loop()
    except RuntimeError:
        return asyncio.run(coroutine)
    # Called from inside a running loop: finish the work on a private loop in a helper thread.
    import concurrent.futures
    with concurrent.futures.ThreadPoolExecutor(max_workers=1) as pool:
        return pool.submit(asyncio.run, coroutine).result()


def _write_out(output: Optional[BinaryIO], source: Piece, updates: Sequence[bytes]) -> BinaryIO:
    if output is None:
        # Made in one copy without the interpreter lock; the stream takes the bytes as its buffer.
        made = io.BytesIO(join_pieces([source, *updates]))
        made.seek(0, io.SEEK_END)  # positioned after what was written, as a written stream is
        return made
    write_piece(output, source)
    for update in updates:
        output.write(update)
    return output
